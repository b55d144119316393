#include "LookupList.h"

#include <QKeyEvent>
#include <QPointer>
#include <QVBoxLayout>

#include <optional>

LookupList::LookupList(QWidget *parent) : QWidget(parent), m_binding(LookupBinding::Kind::List, this)
{
    m_view = new LookupRowsView(m_binding, [this](int row) { return m_binding.isKeyRow(row); }, this);
    m_view->rowDelegate()->setFocusFrame(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    setFocusPolicy(m_view->focusPolicy());

    m_view->onKey = [this](QKeyEvent *event) { return viewKey(event); };
    m_view->onPress = [this](int row) {
        if (row >= 0)
            chooseByUser(row);
    };
    connect(&m_binding, &LookupBinding::keyValueChanged, this, &LookupList::showKeyRow);
    connect(&m_binding, &LookupBinding::rowsChanged, m_view->viewport(), qOverload<>(&QWidget::update));
}

void LookupList::chooseByUser(int row)
{
    QPointer<LookupList> self(this);
    if (m_binding.chooseRow(row) && self)
        emit clicked();
}

void LookupList::showKeyRow()
{
    const int row = m_binding.keyRow();
    if (row >= 0)
        m_view->scrollTo(m_view->rowModel()->index(row, 0));
    m_view->viewport()->update();
}

bool LookupList::viewKey(QKeyEvent *event)
{
    const int count = m_view->rowModel()->rowCount();
    const int row = m_binding.keyRow();
    const int page = m_view->visibleRows();
    std::optional<int> target;
    switch (event->key()) {
    case Qt::Key_Up:
        target = row < 0 ? 0 : row - 1;
        break;
    case Qt::Key_Down:
        target = row < 0 ? 0 : row + 1;
        break;
    case Qt::Key_PageUp:
        target = row < 0 ? 0 : row - page;
        break;
    case Qt::Key_PageDown:
        target = row < 0 ? 0 : row + page;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count - 1;
        break;
    default:
        break;
    }
    if (target) {
        if (count > 0)
            chooseByUser(std::clamp(*target, 0, count - 1));
        return true;
    }
    const LookupBinding::SearchStep found = m_binding.searchKey(*event);
    if (found.row >= 0)
        chooseByUser(found.row);
    if (!found.consumed)
        event->ignore();
    // The view's own navigation and type-ahead never run.
    return true;
}
