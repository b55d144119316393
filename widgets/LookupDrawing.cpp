#include "LookupDrawing.h"

#include "Cursor.h"
#include "DataSource.h"
#include "Guard.h"

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

bool isWholeNumber(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

qint64 steadyMilliseconds()
{
    static const QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

// Counts the control's own moves of the list cursor while they run.
class OwnMove
{
public:
    explicit OwnMove(int &depth) : m_depth(depth) { ++m_depth; }
    ~OwnMove() { --m_depth; }
    OwnMove(const OwnMove &) = delete;
    OwnMove &operator=(const OwnMove &) = delete;

private:
    int &m_depth;
};

} // namespace

bool sameLookupKey(const QVariant &a, const QVariant &b)
{
    if (!a.isValid() || !b.isValid())
        return !a.isValid() && !b.isValid();
    if (isWholeNumber(a) && isWholeNumber(b))
        return a.toLongLong() == b.toLongLong();
    if (a.metaType() == b.metaType())
        return a == b;
    return a.toString() == b.toString();
}

QStringList parseListFields(const QString &text)
{
    QStringList out;
    for (const QString &part : text.split(u';', Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            out << name;
    }
    return out;
}

// ---- TypedSearch -------------------------------------------------------------

TypedSearch::TypedSearch() : m_clock(steadyMilliseconds) {}

void TypedSearch::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(steadyMilliseconds);
    m_started = false;
}

QString TypedSearch::extended(const QString &typed)
{
    const qint64 now = m_clock();
    if (!m_started || now - m_last > PauseMs)
        m_text.clear();
    m_started = true;
    m_last = now;
    if (m_text.size() + typed.size() > MaxLength)
        return QString();
    return m_text + typed;
}

// ---- LookupBinding -------------------------------------------------------------

LookupBinding::LookupBinding(Kind kind, QWidget *owner)
    : QObject(owner), m_kind(kind), m_owner(owner), m_link(this, [this] { followField(); })
{
}

void LookupBinding::setListSource(DataSource *source)
{
    if (m_listSource)
        disconnect(m_listSource, nullptr, this, nullptr);
    m_listSource = source;
    if (source) {
        connect(source, &DataSource::currentChanged, this, &LookupBinding::listMoved);
        connect(source, &DataSource::rowsReset, this, &LookupBinding::rowsChanged);
        connect(source, &DataSource::stateChanged, this, &LookupBinding::rowsChanged);
        connect(source, &DataSource::rowInserted, this, &LookupBinding::rowsChanged);
        connect(source, &DataSource::rowRemoved, this, &LookupBinding::rowsChanged);
        connect(source, &DataSource::rowMoved, this, &LookupBinding::rowsChanged);
        connect(source, &DataSource::rowChanged, this, &LookupBinding::rowsChanged);
    }
    checkFields();
    emit listChanged();
    relocateAfterSetup();
}

void LookupBinding::setKeyField(const QString &field)
{
    m_keyField = field;
    checkFields();
    emit listChanged();
    relocateAfterSetup();
}

void LookupBinding::setListFields(const QString &fields)
{
    m_listFields = parseListFields(fields);
    checkFields();
    emit listChanged();
}

void LookupBinding::setDataSource(DataSource *source)
{
    m_link.setDataSource(source);
    checkFields();
    relocateAfterSetup();
}

void LookupBinding::setDataField(const QString &field)
{
    m_link.setDataField(field);
    checkFields();
    relocateAfterSetup();
}

void LookupBinding::checkFields() const
{
    if (Cursor *c = listCursor()) {
        if (!m_keyField.isEmpty())
            c->fieldByName(m_keyField);
        for (const QString &name : m_listFields)
            c->fieldByName(name);
    }
    if (const DataSource *source = m_link.dataSource(); source && source->cursor() && !m_link.dataField().isEmpty())
        source->cursor()->fieldByName(m_link.dataField());
}

Cursor *LookupBinding::listCursor() const
{
    return m_listSource ? m_listSource->cursor() : nullptr;
}

const Field *LookupBinding::keyFieldOf() const
{
    Cursor *c = listCursor();
    return c && !m_keyField.isEmpty() ? c->findField(m_keyField) : nullptr;
}

int LookupBinding::listFieldCount() const
{
    // Without list fields the key itself is shown.
    if (m_listFields.isEmpty())
        return m_keyField.isEmpty() ? 0 : 1;
    return static_cast<int>(m_listFields.size());
}

const Field *LookupBinding::listField(int column) const
{
    Cursor *c = listCursor();
    if (!c || column < 0 || column >= listFieldCount())
        return nullptr;
    return c->findField(m_listFields.isEmpty() ? m_keyField : m_listFields[column]);
}

void LookupBinding::setKeyValue(const QVariant &key)
{
    if (sameLookupKey(key, m_key))
        return;
    takeKey(key);
}

void LookupBinding::takeKey(const QVariant &key)
{
    m_key = key;
    try {
        locateKey();
    } catch (...) {
        emit keyValueChanged();
        throw;
    }
    emit keyValueChanged();
}

void LookupBinding::locateKey()
{
    Cursor *c = listCursor();
    const Field *k = keyFieldOf();
    if (!c || !k || !c->isOpen())
        return;
    ++m_locates;
    OwnMove own(m_ownMoves);
    if (m_key.isValid() && c->locate(k->name(), m_key))
        return;
    if (m_kind == Kind::List)
        c->first();
}

void LookupBinding::relocateAfterSetup()
{
    if (isBound())
        followField(true);
    else if (m_key.isValid())
        guarded(m_owner, [this] { locateKey(); });
}

void LookupBinding::followField(bool force)
{
    if (m_ownMoves > 0 || !isBound())
        return;
    const Field *f = m_link.field();
    const QVariant v = f && m_link.hasRecord() ? f->value() : QVariant();
    if (!force && sameLookupKey(v, m_key))
        return;
    guarded(m_owner, [&] { takeKey(v); });
}

void LookupBinding::listMoved()
{
    if (m_ownMoves > 0 || m_kind != Kind::Combo || isBound() || !m_key.isValid())
        return;
    Cursor *c = listCursor();
    if (c && c->atBeginning()) {
        m_key = QVariant();
        emit keyValueChanged();
    }
}

int LookupBinding::keyRow() const
{
    Cursor *c = listCursor();
    const Field *k = keyFieldOf();
    if (!c || !k || !m_key.isValid())
        return -1;
    return c->indexOf(*k, m_key);
}

QVariant LookupBinding::keyAt(int row) const
{
    Cursor *c = listCursor();
    const Field *k = keyFieldOf();
    return c && k ? c->valueAt(row, *k) : QVariant();
}

bool LookupBinding::isKeyRow(int row) const
{
    return row >= 0 && row == keyRow();
}

QString LookupBinding::displayText(int row, int column) const
{
    Cursor *c = listCursor();
    const Field *f = listField(column);
    return c && f ? f->displayTextOf(c->valueAt(row, *f)) : QString();
}

bool LookupBinding::choose(const QVariant &key)
{
    return guarded(m_owner, [&] {
        const int locatesBefore = m_locates;
        if (isBound()) {
            Cursor *c = m_link.dataSource()->cursor();
            if (!c)
                return;
            Field &f = c->fieldByName(m_link.dataField());
            if (!c->isEditing())
                c->edit();
            // The field's change brings the key back through followField.
            f.setValue(key);
        } else if (!sameLookupKey(key, m_key)) {
            takeKey(key);
        }
        // A choice always leaves the list cursor on the chosen row, even when
        // the key was already held and the cursor has been moved since.
        if (m_locates == locatesBefore)
            locateKey();
    });
}

bool LookupBinding::chooseRow(int row)
{
    const QVariant key = keyAt(row);
    return key.isValid() && choose(key);
}

bool LookupBinding::canSearch() const
{
    const Field *f = listField(0);
    return f && f->isTextual();
}

int LookupBinding::findPrefix(const QString &text) const
{
    Cursor *c = listCursor();
    const Field *f = listField(0);
    if (!c || !f)
        return -1;
    for (int i = 0, n = c->recordCount(); i < n; ++i) {
        const QVariant v = c->valueAt(i, *f);
        if (v.isValid() && Field::plainText(v).startsWith(text, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

LookupBinding::SearchStep LookupBinding::searchKey(const QKeyEvent &event)
{
    SearchStep step;
    if (event.key() == Qt::Key_Backspace || event.key() == Qt::Key_Escape) {
        m_search.clear();
        step.consumed = true;
        return step;
    }
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return step;
    const QString typed = event.text();
    if (typed.isEmpty())
        return step;
    for (QChar ch : typed)
        if (ch.unicode() < 32 || ch.unicode() == 127)
            return step;
    if (!canSearch())
        return step;
    step.consumed = true;
    const QString candidate = m_search.extended(typed);
    if (candidate.isNull())
        return step;
    step.row = findPrefix(candidate);
    if (step.row >= 0)
        m_search.keep(candidate);
    return step;
}

// ---- LookupRowModel ------------------------------------------------------------

LookupRowModel::LookupRowModel(LookupBinding &binding, QObject *parent)
    : QAbstractTableModel(parent), m_binding(binding)
{
    connect(&binding, &LookupBinding::listChanged, this, &LookupRowModel::attach);
    attach();
}

int LookupRowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int LookupRowModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant LookupRowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return QVariant();
    if (role == KeyRole)
        return m_binding.keyAt(index.row());
    const Field *f = m_binding.listField(index.column());
    if (!f)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return m_binding.displayText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return static_cast<int>(f->alignment() | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

void LookupRowModel::attach()
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = m_binding.listSource();
    if (m_source) {
        connect(m_source, &DataSource::rowsReset, this, &LookupRowModel::reset);
        connect(m_source, &DataSource::rowInserted, this, &LookupRowModel::rowInserted);
        connect(m_source, &DataSource::rowRemoved, this, &LookupRowModel::rowRemoved);
        connect(m_source, &DataSource::rowMoved, this, &LookupRowModel::rowMoved);
        connect(m_source, &DataSource::rowChanged, this, &LookupRowModel::rowChanged);
        connect(m_source, &DataSource::stateChanged, this, [this] {
            if (!inStep(m_rows))
                reset();
        });
    }
    reset();
}

void LookupRowModel::reset()
{
    beginResetModel();
    Cursor *c = m_binding.listCursor();
    m_rows = c ? c->recordCount() : 0;
    m_columns = m_binding.listFieldCount();
    endResetModel();
}

bool LookupRowModel::inStep(int expectedRows) const
{
    Cursor *c = m_binding.listCursor();
    return (c ? c->recordCount() : 0) == expectedRows;
}

// The cursor reports a row after the fact; the model announces it with the
// count it had before, and falls back to a reset whenever the two disagree.
void LookupRowModel::rowInserted(int row)
{
    if (row < 0 || row > m_rows || !inStep(m_rows + 1)) {
        reset();
        return;
    }
    beginInsertRows(QModelIndex(), row, row);
    ++m_rows;
    endInsertRows();
}

void LookupRowModel::rowRemoved(int row)
{
    if (row < 0 || row >= m_rows || !inStep(m_rows - 1)) {
        reset();
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    --m_rows;
    endRemoveRows();
}

void LookupRowModel::rowMoved(int from, int to)
{
    if (from < 0 || to < 0 || from >= m_rows || to >= m_rows || !inStep(m_rows)) {
        reset();
        return;
    }
    if (m_columns > 0)
        emit dataChanged(index(std::min(from, to), 0), index(std::max(from, to), m_columns - 1));
}

void LookupRowModel::rowChanged(int row)
{
    if (!inStep(m_rows)) {
        reset();
        return;
    }
    if (row >= 0 && row < m_rows && m_columns > 0)
        emit dataChanged(index(row, 0), index(row, m_columns - 1));
}

// ---- LookupRowDelegate ---------------------------------------------------------

LookupRowDelegate::LookupRowDelegate(const LookupBinding &binding, Highlighted highlighted, QObject *parent)
    : QStyledItemDelegate(parent), m_binding(binding), m_highlighted(std::move(highlighted))
{
}

int LookupRowDelegate::rowHeight(const QFontMetrics &metrics)
{
    return metrics.height() + 2;
}

QList<int> LookupRowDelegate::columnWidths(const LookupBinding &binding, const QFontMetrics &metrics, int width)
{
    const int zero = metrics.horizontalAdvance(u'0');
    const int n = binding.listFieldCount();
    QList<int> widths;
    int used = 0;
    for (int i = 0; i + 1 < n; ++i) {
        const Field *f = binding.listField(i);
        const int w = f ? f->displayWidth() * zero + 4 : 0;
        widths << w;
        used += w;
    }
    if (n > 0)
        widths << std::max(0, width - used);
    return widths;
}

void LookupRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // A row spans the view's whole width, whatever width the view gave the item.
    QRect rect = option.rect;
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget)) {
        rect.setLeft(0);
        rect.setWidth(view->viewport()->width());
    }
    const bool highlighted = m_highlighted && m_highlighted(index.row());
    const QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QPalette &pal = option.palette;

    painter->save();
    painter->fillRect(rect, pal.brush(group, highlighted ? QPalette::Highlight : QPalette::Base));
    painter->setFont(option.font);
    const QColor textColor = pal.color(group, highlighted ? QPalette::HighlightedText : QPalette::Text);
    const QColor lineColor = pal.color(group, QPalette::Mid);

    const QAbstractItemModel *model = index.model();
    const QList<int> widths = columnWidths(m_binding, option.fontMetrics, rect.width());
    int x = rect.left();
    for (int column = 0; column < widths.size(); ++column) {
        const QRect cell(x, rect.top(), widths[column], rect.height());
        const QModelIndex at = model->index(index.row(), column);
        const auto alignment = Qt::Alignment(at.data(Qt::TextAlignmentRole).toInt());
        painter->setClipRect(cell);
        painter->setPen(textColor);
        painter->drawText(cell.adjusted(2, 0, -3, 0), alignment, at.data(Qt::DisplayRole).toString());
        if (column + 1 < widths.size()) {
            painter->setPen(lineColor);
            painter->drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
        }
        x += widths[column];
    }
    painter->setClipping(false);
    if (highlighted && m_focusFrame && option.widget && option.widget->hasFocus()) {
        // A dotted frame in the text colour, visible on any highlight colour.
        painter->setPen(QPen(textColor, 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize LookupRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(1, rowHeight(option.fontMetrics));
}

// ---- LookupRowsView ------------------------------------------------------------

LookupRowsView::LookupRowsView(LookupBinding &binding, LookupRowDelegate::Highlighted highlighted, QWidget *parent)
    : QListView(parent), m_model(new LookupRowModel(binding, this)),
      m_delegate(new LookupRowDelegate(binding, std::move(highlighted), this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    // Uniform rows keep layout and scrolling independent of the row count.
    setUniformItemSizes(true);
    setLayoutMode(QListView::SinglePass);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setTextElideMode(Qt::ElideNone);
    setAutoScroll(false);
    setDragEnabled(false);
    setTabKeyNavigation(false);
    viewport()->setMouseTracking(true);
}

int LookupRowsView::rowAt(const QPoint &viewportPos) const
{
    if (!viewport()->rect().contains(viewportPos))
        return -1;
    return indexAt(QPoint(1, viewportPos.y())).row();
}

int LookupRowsView::rowHeight() const
{
    return LookupRowDelegate::rowHeight(fontMetrics());
}

int LookupRowsView::visibleRows() const
{
    return std::max(1, viewport()->height() / std::max(1, rowHeight()));
}

QRect LookupRowsView::visualRect(const QModelIndex &index) const
{
    QRect r = QListView::visualRect(index);
    if (r.isValid()) {
        r.setLeft(0);
        r.setWidth(viewport()->width());
    }
    return r;
}

void LookupRowsView::keyPressEvent(QKeyEvent *event)
{
    if (onKey && onKey(event))
        return;
    QListView::keyPressEvent(event);
}

// The view selects nothing itself and starts no drag: presses go to the hook.
void LookupRowsView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && onPress)
        onPress(rowAt(event->position().toPoint()));
    event->accept();
}

void LookupRowsView::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
}

void LookupRowsView::mouseMoveEvent(QMouseEvent *event)
{
    if (onMove)
        onMove(rowAt(event->position().toPoint()));
    event->accept();
}

void LookupRowsView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && onRelease)
        onRelease(rowAt(event->position().toPoint()));
    event->accept();
}
