#include "LookupCombo.h"

#include "Cursor.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStyleOptionComboBox>

// The drop-down: a popup frame holding the rows. Its highlight is the view's
// current row, which follows the mouse and the arrow keys.
class LookupDropDown : public QFrame
{
public:
    LookupDropDown(LookupCombo &combo, LookupBinding &binding) : QFrame(&combo, Qt::Popup), m_combo(combo)
    {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
        m_view = new LookupRowsView(binding, [this](int row) { return row >= 0 && row == currentRow(); }, this);
        m_view->setFrameShape(QFrame::NoFrame);
        m_view->onKey = [this](QKeyEvent *event) { return m_combo.dropDownKey(event); };
        m_view->onPress = [this](int row) { setCurrentRow(row); };
        m_view->onMove = [this](int row) { setCurrentRow(row); };
        m_view->onRelease = [this](int row) {
            if (row >= 0) {
                setCurrentRow(row);
                m_combo.closeDropDown(true);
            }
        };
    }

    LookupRowsView *view() const { return m_view; }
    int currentRow() const { return m_view->currentIndex().row(); }

    void setCurrentRow(int row)
    {
        if (row < 0 || row == currentRow())
            return;
        m_view->setCurrentIndex(m_view->rowModel()->index(row, 0));
    }

protected:
    // No layout: a layout would impose the view's minimum height on a short list.
    void resizeEvent(QResizeEvent *event) override
    {
        QFrame::resizeEvent(event);
        m_view->setGeometry(contentsRect());
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        // A click on the combo closes the drop-down without opening it again.
        if (m_combo.rect().contains(m_combo.mapFromGlobal(event->globalPosition().toPoint())))
            setAttribute(Qt::WA_NoMouseReplay);
        QFrame::mousePressEvent(event);
    }

    void hideEvent(QHideEvent *event) override
    {
        QFrame::hideEvent(event);
        if (!m_combo.m_closing)
            m_combo.dropDownHidden();
    }

private:
    LookupCombo &m_combo;
    LookupRowsView *m_view;
};

LookupCombo::LookupCombo(QWidget *parent) : QWidget(parent), m_binding(LookupBinding::Kind::Combo, this)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    const auto repaint = [this] { update(); };
    connect(&m_binding, &LookupBinding::keyValueChanged, this, repaint);
    connect(&m_binding, &LookupBinding::rowsChanged, this, repaint);
    connect(&m_binding, &LookupBinding::listChanged, this, repaint);
}

LookupCombo::~LookupCombo()
{
    // The drop-down goes first, silently, while the binding still exists.
    m_closing = true;
    delete m_dropDown;
}

QString LookupCombo::text() const
{
    const int row = m_binding.keyRow();
    return row >= 0 ? m_binding.displayText(row, 0) : QString();
}

void LookupCombo::setDropDownRows(int rows)
{
    m_dropDownRows = std::max(1, rows);
}

void LookupCombo::setDropDownWidth(int width)
{
    m_dropDownWidth = std::max(0, width);
}

bool LookupCombo::isDroppedDown() const
{
    return m_dropDown && m_dropDown->isVisible();
}

LookupRowsView *LookupCombo::dropDownList()
{
    if (!m_dropDown)
        m_dropDown = new LookupDropDown(*this, m_binding);
    return m_dropDown->view();
}

void LookupCombo::dropDown()
{
    if (isDroppedDown() || !isEnabled())
        return;
    LookupRowsView *view = dropDownList();
    // The rows are read out under the combo's own name.
    view->setAccessibleName(accessibleName());
    // A popup is a window of its own and inherits neither font nor palette.
    m_dropDown->setFont(font());
    m_dropDown->setPalette(palette());

    const int rowHeight = LookupRowDelegate::rowHeight(QFontMetrics(font()));
    const int rows = std::clamp(view->rowModel()->rowCount(), 1, m_dropDownRows);
    const int frame = m_dropDown->frameWidth();
    const QSize size(m_dropDownWidth > 0 ? m_dropDownWidth : width(), rows * rowHeight + 2 * frame);
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen *s = screen()) {
        const QRect avail = s->availableGeometry();
        const QPoint above = mapToGlobal(QPoint(0, 0)) - QPoint(0, size.height());
        if (at.y() + size.height() > avail.bottom() + 1 && above.y() >= avail.top())
            at = above;
        at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - size.width())));
    }
    m_dropDown->setGeometry(QRect(at, size));

    m_binding.search().clear();
    const int keyRow = m_binding.keyRow();
    view->setCurrentIndex(keyRow >= 0 ? view->rowModel()->index(keyRow, 0) : QModelIndex());
    m_dropDown->show();
    if (keyRow >= 0)
        view->scrollTo(view->rowModel()->index(keyRow, 0), QAbstractItemView::PositionAtTop);
    else
        view->scrollToTop();
    view->setFocus(Qt::PopupFocusReason);
    update();
}

void LookupCombo::closeDropDown(bool accept)
{
    if (!isDroppedDown())
        return;
    const int row = accept ? m_dropDown->currentRow() : -1;
    m_closing = true;
    m_dropDown->hide();
    m_closing = false;
    if (isVisible())
        setFocus(Qt::PopupFocusReason);
    finishCloseUp(row);
}

void LookupCombo::dropDownHidden()
{
    finishCloseUp(-1);
}

void LookupCombo::finishCloseUp(int chosenRow)
{
    m_binding.search().clear();
    update();
    QPointer<LookupCombo> self(this);
    if (chosenRow >= 0 && m_binding.chooseRow(chosenRow) && self)
        emit clicked();
    if (self)
        emit closeUp();
}

void LookupCombo::chooseByUser(int row)
{
    QPointer<LookupCombo> self(this);
    if (m_binding.chooseRow(row) && self)
        emit clicked();
}

void LookupCombo::step(int delta)
{
    Cursor *c = m_binding.listCursor();
    const int count = c ? c->recordCount() : 0;
    if (count == 0)
        return;
    const int row = m_binding.keyRow();
    chooseByUser(row < 0 ? 0 : std::clamp(row + delta, 0, count - 1));
}

void LookupCombo::keyPressEvent(QKeyEvent *event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
    case Qt::Key_F4:
        dropDown();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (alt)
            dropDown();
        else
            step(event->key() == Qt::Key_Down ? 1 : -1);
        return;
    default:
        break;
    }
    const LookupBinding::SearchStep found = m_binding.searchKey(*event);
    if (found.row >= 0)
        chooseByUser(found.row);
    if (!found.consumed)
        QWidget::keyPressEvent(event);
}

bool LookupCombo::dropDownKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F4:
        closeDropDown(true);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (event->modifiers() & Qt::AltModifier) {
            closeDropDown(true);
            return true;
        }
        return false;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return false;
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        closeDropDown(false);
        return true;
    default:
        break;
    }
    const LookupBinding::SearchStep found = m_binding.searchKey(*event);
    if (found.row >= 0) {
        m_dropDown->setCurrentRow(found.row);
        m_dropDown->view()->scrollTo(m_dropDown->view()->currentIndex());
    }
    // Nothing else reaches the view: its own type-ahead would fight ours.
    return true;
}

void LookupCombo::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (isDroppedDown())
        closeDropDown(false);
    else
        dropDown();
    event->accept();
}

void LookupCombo::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void LookupCombo::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void LookupCombo::hideEvent(QHideEvent *event)
{
    closeDropDown(false);
    QWidget::hideEvent(event);
}

void LookupCombo::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        closeDropDown(false);
    QWidget::changeEvent(event);
}

void LookupCombo::initStyleOption(QStyleOptionComboBox *option) const
{
    option->initFrom(this);
    // Drawn as an edit with a button, as a list's combo looks on the desktop.
    option->editable = true;
    option->frame = true;
    option->subControls = QStyle::SC_All;
    if (isDroppedDown()) {
        option->state |= QStyle::State_On | QStyle::State_Sunken;
        option->activeSubControls = QStyle::SC_ComboBoxArrow;
    }
}

void LookupCombo::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    style()->drawComplexControl(QStyle::CC_ComboBox, &option, &painter, this);

    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Normal : QPalette::Disabled;
    const bool highlighted = hasFocus() && !isDroppedDown();
    painter.fillRect(field, palette().brush(group, highlighted ? QPalette::Highlight : QPalette::Base));
    painter.setPen(palette().color(group, highlighted ? QPalette::HighlightedText : QPalette::Text));
    const Field *first = m_binding.listField(0);
    const Qt::Alignment alignment = (first ? first->alignment() : Qt::AlignLeft) | Qt::AlignVCenter;
    painter.setClipRect(field);
    painter.drawText(field.adjusted(2, 0, -2, 0), alignment, text());
}

QSize LookupCombo::sizeHint() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QFontMetrics fm = fontMetrics();
    const QSize content(fm.horizontalAdvance(u'0') * 15, fm.height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, this);
}

QSize LookupCombo::minimumSizeHint() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QFontMetrics fm = fontMetrics();
    const QSize content(fm.horizontalAdvance(u'0') * 3, fm.height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, this);
}
