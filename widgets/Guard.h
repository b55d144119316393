#pragma once

#include "DataError.h"
#include "MessageDialog.h"

#include <exception>
#include <utility>

class QWidget;

// Runs a handler that the user started. A failure it does not catch itself ends
// it and reaches the user in the default error dialog; nothing crosses the Qt
// frame that called the handler. Returns false when the handler failed.
template<typename Handler>
bool guarded(QWidget *parent, Handler &&handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const DataError &e) {
        MessageDialog::showDefaultError(e.message(), parent);
    } catch (const std::exception &e) {
        MessageDialog::showDefaultError(QString::fromUtf8(e.what()), parent);
    } catch (...) {
        MessageDialog::showDefaultError(QStringLiteral("Unexpected error"), parent);
    }
    return false;
}
