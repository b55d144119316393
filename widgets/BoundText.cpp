#include "BoundText.h"

#include "Field.h"

BoundText::BoundText(QWidget *parent) : QLabel(parent), m_link(this, [this] { refresh(); })
{
    setTextFormat(Qt::PlainText);
}

void BoundText::refresh()
{
    setText(m_link.hasRecord() ? field()->displayText() : QString());
}
