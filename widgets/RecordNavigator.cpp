#include "RecordNavigator.h"

#include "Cursor.h"
#include "DataSource.h"
#include "Guard.h"
#include "MessageDialog.h"

#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolButton>

namespace {

constexpr int PictureSize = 16;

// The pictures are drawn on a 16 x 16 grid so that they stay sharp at any
// device pixel ratio; dark shapes read well on a grey button face and the
// style greys them out when the button is disabled.
void drawPicture(QPainter &p, int button)
{
    const QColor arrow(0x1d, 0x3a, 0x70);
    const QColor green(0x1b, 0x80, 0x32);
    const QColor red(0xc0, 0x24, 0x1c);
    const QColor blue(0x1b, 0x5f, 0xa8);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    auto triangle = [&](QPointF a, QPointF b, QPointF c, const QColor &color) {
        QPainterPath path;
        path.moveTo(a);
        path.lineTo(b);
        path.lineTo(c);
        path.closeSubpath();
        p.fillPath(path, color);
    };
    auto stroke = [&](const QColor &color, qreal width) {
        QPen pen(color, width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
    };

    switch (button) {
    case RecordNavigator::First:
        p.fillRect(QRectF(3, 3, 2, 10), arrow);
        triangle({12, 3}, {12, 13}, {6, 8}, arrow);
        break;
    case RecordNavigator::Prior:
        triangle({10.5, 3}, {10.5, 13}, {4.5, 8}, arrow);
        break;
    case RecordNavigator::Next:
        triangle({5.5, 3}, {5.5, 13}, {11.5, 8}, arrow);
        break;
    case RecordNavigator::Last:
        triangle({4, 3}, {4, 13}, {10, 8}, arrow);
        p.fillRect(QRectF(11, 3, 2, 10), arrow);
        break;
    case RecordNavigator::Insert:
        p.fillRect(QRectF(3, 6.75, 10, 2.5), green);
        p.fillRect(QRectF(6.75, 3, 2.5, 10), green);
        break;
    case RecordNavigator::Delete:
        p.fillRect(QRectF(3, 6.75, 10, 2.5), red);
        break;
    case RecordNavigator::Edit:
        triangle({2.5, 11.5}, {13.5, 11.5}, {8, 4.5}, arrow);
        break;
    case RecordNavigator::Post:
        stroke(green, 2.4);
        p.drawPolyline(QPolygonF({QPointF(3.5, 8.5), QPointF(6.5, 11.5), QPointF(12.5, 4.5)}));
        break;
    case RecordNavigator::Cancel:
        stroke(red, 2.4);
        p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
        break;
    case RecordNavigator::Refresh: {
        stroke(blue, 2.0);
        const QRectF circle(3.5, 3.5, 9, 9);
        // Qt angles are in sixteenths of a degree, counter-clockwise from 3 o'clock.
        p.drawArc(circle, 100 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        triangle({7.2, 0.8}, {7.2, 7.0}, {3.2, 3.9}, blue);
        break;
    }
    default:
        break;
    }
}

QIcon pictureIcon(int button)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(PictureSize, PictureSize) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        drawPicture(p, button);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A button of the navigator: it never takes the focus itself and shows the
// navigator's focused button with a focus frame.
class NavigatorButton : public QToolButton
{
public:
    NavigatorButton(RecordNavigator *navigator, int number) : QToolButton(navigator), m_navigator(navigator), m_number(number)
    {
        // Pictures only, no tool tips; assistive technology reads the name.
        static const char *const names[RecordNavigator::ButtonCount] = {
            "Primero", "Anterior", "Siguiente", "Último", "Insertar",
            "Eliminar", "Editar", "Grabar", "Cancelar", "Refrescar",
        };
        setAccessibleName(QString::fromUtf8(names[number]));
        setFocusPolicy(Qt::NoFocus);
        setToolButtonStyle(Qt::ToolButtonIconOnly);
        setIcon(pictureIcon(number));
        setIconSize(QSize(PictureSize, PictureSize));
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QToolButton::paintEvent(event);
        if (!m_navigator->hasFocus() || m_navigator->focusedButton() != m_number)
            return;
        QStylePainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        option.backgroundColor = palette().button().color();
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }

private:
    RecordNavigator *m_navigator;
    int m_number;
};

} // namespace

RecordNavigator::RecordNavigator(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (int i = 0; i < ButtonCount; ++i) {
        m_buttons[static_cast<size_t>(i)] = new NavigatorButton(this, i);
        m_visible[static_cast<size_t>(i)] = true;
        connect(m_buttons[static_cast<size_t>(i)], &QToolButton::clicked, this, [this, i] {
            m_focused = i;
            for (QToolButton *b : m_buttons)
                b->update();
            press(i);
        });
    }
    resize(sizeHint());
    updateButtons();
}

RecordNavigator::~RecordNavigator() = default;

void RecordNavigator::setDataSource(DataSource *source)
{
    if (m_source == source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (m_source) {
        connect(m_source, &DataSource::stateChanged, this, &RecordNavigator::updateButtons);
        connect(m_source, &DataSource::currentChanged, this, &RecordNavigator::updateButtons);
        connect(m_source, &DataSource::rowsReset, this, &RecordNavigator::updateButtons);
        connect(m_source, &DataSource::rowInserted, this, &RecordNavigator::updateButtons);
        connect(m_source, &DataSource::rowRemoved, this, &RecordNavigator::updateButtons);
        connect(m_source, &QObject::destroyed, this, &RecordNavigator::updateButtons);
    }
    updateButtons();
}

Cursor *RecordNavigator::cursor() const
{
    return m_source ? m_source->cursor() : nullptr;
}

void RecordNavigator::setVisibleButtons(const QList<int> &buttons)
{
    m_visible.fill(false);
    for (int n : buttons)
        if (n >= 0 && n < ButtonCount)
            m_visible[static_cast<size_t>(n)] = true;
    if (!m_visible[static_cast<size_t>(m_focused)]) {
        const QList<int> shown = visibleButtons();
        m_focused = shown.isEmpty() ? 0 : shown.first();
    }
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[static_cast<size_t>(i)]->setVisible(m_visible[static_cast<size_t>(i)]);
    layoutButtons();
    updateGeometry();
}

QList<int> RecordNavigator::visibleButtons() const
{
    QList<int> out;
    for (int i = 0; i < ButtonCount; ++i)
        if (m_visible[static_cast<size_t>(i)])
            out << i;
    return out;
}

QAbstractButton *RecordNavigator::button(int number) const
{
    if (number < 0 || number >= ButtonCount)
        return nullptr;
    return m_buttons[static_cast<size_t>(number)];
}

void RecordNavigator::updateButtons()
{
    const Cursor *c = cursor();
    std::array<bool, ButtonCount> on{};
    if (c && c->isOpen()) {
        const bool modify = c->canModify();
        const bool editing = c->isEditing();
        on[First] = on[Prior] = c->recNo() > 0;
        on[Next] = on[Last] = !c->atEnd();
        on[Insert] = on[Refresh] = modify;
        on[Delete] = modify && !c->isEmpty();
        on[Edit] = modify && !editing;
        on[Post] = on[Cancel] = editing;
    }
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[static_cast<size_t>(i)]->setEnabled(on[static_cast<size_t>(i)]);
}

bool RecordNavigator::press(int number)
{
    if (number < 0 || number >= ButtonCount)
        return false;
    QPointer<Cursor> c = cursor();
    return guarded(this, [&] {
        if (c && c->isOpen())
            emit beforeAction(number);
        // On a closed cursor the action fails with the cursor's closed-dataset
        // error, which ends the press.
        if (c)
            act(*c, number, this);
        emit clicked(number);
    });
}

void RecordNavigator::act(Cursor &cursor, int number, QWidget *dialogParent)
{
    cursor.checkActive();
    switch (number) {
    case First:
        cursor.first();
        break;
    case Prior:
        cursor.prior();
        break;
    case Next:
        cursor.next();
        break;
    case Last:
        cursor.last();
        break;
    case Insert:
        cursor.insert();
        break;
    case Delete:
        if (MessageDialog::show(QStringLiteral("Delete record?"), MessageDialog::Kind::Confirmation,
                                MessageDialog::Buttons::OkCancel, dialogParent)
            != MessageDialog::Result::Cancel)
            cursor.remove();
        break;
    case Edit:
        cursor.edit();
        break;
    case Post:
        cursor.post();
        break;
    case Cancel:
        cursor.cancel();
        break;
    case Refresh:
        cursor.refresh();
        break;
    default:
        break;
    }
}

void RecordNavigator::moveFocus(int step)
{
    for (int i = m_focused + step; i >= 0 && i < ButtonCount; i += step) {
        if (m_visible[static_cast<size_t>(i)]) {
            m_focused = i;
            for (QToolButton *b : m_buttons)
                b->update();
            return;
        }
    }
}

void RecordNavigator::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        moveFocus(-1);
        break;
    case Qt::Key_Right:
        moveFocus(1);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_visible[static_cast<size_t>(m_focused)] && m_buttons[static_cast<size_t>(m_focused)]->isEnabled())
            press(m_focused);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void RecordNavigator::layoutButtons()
{
    const QList<int> shown = visibleButtons();
    const int n = static_cast<int>(shown.size());
    if (n == 0)
        return;
    // Edges at i * width / n: the buttons differ by at most one pixel.
    const int w = width();
    for (int i = 0; i < n; ++i) {
        const int left = i * w / n;
        const int right = (i + 1) * w / n;
        m_buttons[static_cast<size_t>(shown[i])]->setGeometry(left, 0, right - left, height());
    }
}

void RecordNavigator::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}

void RecordNavigator::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    for (QToolButton *b : m_buttons)
        b->update();
}

void RecordNavigator::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    for (QToolButton *b : m_buttons)
        b->update();
}

QSize RecordNavigator::sizeHint() const
{
    return {24 * std::max<int>(1, static_cast<int>(visibleButtons().size())), DefaultHeight};
}

QSize RecordNavigator::minimumSizeHint() const
{
    return {12 * std::max<int>(1, static_cast<int>(visibleButtons().size())), DefaultHeight};
}
