#include "DataGrid.h"

#include "Cursor.h"
#include "Field.h"
#include "Guard.h"
#include "MessageDialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>

// Paints the cells with the grid's own lines and selection rules, and edits a
// cell with a plain line edit that writes through the field.
class DataGridDelegate : public QStyledItemDelegate
{
public:
    explicit DataGridDelegate(DataGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const DataGrid::Options options = m_grid->options();
        QStyleOptionViewItem opt(option);
        if (options.testFlag(DataGrid::Option::AlwaysShowSelection))
            opt.state |= QStyle::State_Active;
        else if (!m_grid->focusIsInside())
            opt.state &= ~QStyle::State_Selected;
        if (options.testFlag(DataGrid::Option::RowSelect))
            opt.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, opt, index);

        const bool columnLines = options.testFlag(DataGrid::Option::ColumnLines);
        const bool rowLines = options.testFlag(DataGrid::Option::RowLines);
        if (!columnLines && !rowLines)
            return;
        painter->save();
        const auto rgb = static_cast<QRgb>(m_grid->style()->styleHint(QStyle::SH_Table_GridLineColor, &opt, m_grid));
        painter->setPen(QColor::fromRgba(rgb));
        const QRect r = option.rect;
        if (columnLines)
            painter->drawLine(r.topRight(), r.bottomRight());
        if (rowLines)
            painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        if (const Field *f = m_grid->m_model->field(index.column()))
            editor->setAlignment(f->alignment() | Qt::AlignVCenter);
        m_grid->m_editor = editor;
        m_grid->m_editorIndex = index;
        // The first change of the text puts the record in edit state, as typing
        // into any bound control does; the navigator's post then writes it.
        DataGrid *grid = m_grid;
        QObject::connect(editor, &QLineEdit::textEdited, grid, [grid] {
            Cursor *c = grid->cursor();
            if (c && c->isOpen() && !c->isEditing() && !guarded(grid, [c] { c->edit(); }))
                grid->discardEditor();
        });
        return editor;
    }

    bool eventFilter(QObject *object, QEvent *event) override
    {
        // Ctrl+Tab in a cell leaves the grid, as it does from the grid itself.
        if (event->type() == QEvent::KeyPress && DataGrid::isLeavingKey(*static_cast<QKeyEvent *>(event))) {
            m_grid->leave(static_cast<QKeyEvent *>(event));
            return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *edit = qobject_cast<QLineEdit *>(editor))
            edit->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        auto *edit = qobject_cast<QLineEdit *>(editor);
        // A failure shows a dialog, which takes the focus from the editor and
        // commits it again; one report is enough.
        if (!edit || m_grid->m_writingCell)
            return;
        m_grid->m_writingCell = true;
        const QString text = edit->text();
        guarded(m_grid, [&] { m_grid->m_model->writeText(index, text); });
        m_grid->m_writingCell = false;
    }

private:
    DataGrid *m_grid;
};

// The indicator column: the vertical header, one narrow section per row, which
// marks the current record with an arrow, or with an I-beam while it is being
// edited and a star while it is being inserted.
class DataGridIndicator : public QHeaderView
{
public:
    explicit DataGridIndicator(DataGrid *grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid)
    {
        setSectionsClickable(true);
        setHighlightSections(false);
        setFixedWidth(DataGrid::IndicatorWidth);
    }

    // The width is fixed; measuring the sections' contents would walk the rows.
    QSize sizeHint() const override { return {DataGrid::IndicatorWidth, 0}; }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        const Cursor *c = m_grid->cursor();
        if (!c || !c->isOpen() || logicalIndex != c->recNo())
            return;
        painter->save();
        // The style may leave an empty clip behind after drawing the section.
        painter->setClipRect(rect);
        painter->setRenderHint(QPainter::Antialiasing);
        const QColor ink = palette().color(QPalette::WindowText);
        const QPointF centre = QRectF(rect).center();
        const qreal cx = centre.x(), cy = centre.y();
        switch (c->state()) {
        case Cursor::State::Edit: {
            QPen pen(ink, 1.0);
            painter->setPen(pen);
            painter->drawLine(QPointF(cx, cy - 4.5), QPointF(cx, cy + 4.5));
            painter->drawLine(QPointF(cx - 2.5, cy - 5), QPointF(cx - 0.5, cy - 5));
            painter->drawLine(QPointF(cx + 0.5, cy - 5), QPointF(cx + 2.5, cy - 5));
            painter->drawLine(QPointF(cx - 2.5, cy + 5), QPointF(cx - 0.5, cy + 5));
            painter->drawLine(QPointF(cx + 0.5, cy + 5), QPointF(cx + 2.5, cy + 5));
            break;
        }
        case Cursor::State::Insert: {
            QPen pen(ink, 1.2);
            pen.setCapStyle(Qt::FlatCap);
            painter->setPen(pen);
            const qreal r = 3.5;
            painter->drawLine(QPointF(cx, cy - r), QPointF(cx, cy + r));
            painter->drawLine(QPointF(cx - r * 0.87, cy - r * 0.5), QPointF(cx + r * 0.87, cy + r * 0.5));
            painter->drawLine(QPointF(cx - r * 0.87, cy + r * 0.5), QPointF(cx + r * 0.87, cy - r * 0.5));
            break;
        }
        default: {
            QPainterPath arrow;
            arrow.moveTo(cx - 2.5, cy - 4.5);
            arrow.lineTo(cx + 2.5, cy);
            arrow.lineTo(cx - 2.5, cy + 4.5);
            arrow.closeSubpath();
            painter->fillPath(arrow, ink);
            break;
        }
        }
        painter->restore();
    }

private:
    DataGrid *m_grid;
};

namespace {

// Sets a flag for the length of a scope.
class FlagScope
{
public:
    explicit FlagScope(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_old; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &m_flag;
    bool m_old;
};

} // namespace

DataGrid::Options DataGrid::defaultOptions()
{
    return Option::Editing | Option::Titles | Option::Indicator | Option::ColumnResize | Option::ColumnLines
           | Option::RowLines | Option::Tabs | Option::ConfirmDelete | Option::CancelOnExit | Option::TitleClick
           | Option::TitleHotTrack;
}

DataGrid::DataGrid(QWidget *parent) : QTableView(parent), m_model(new CursorTableModel(this))
{
    setVerticalHeader(new DataGridIndicator(this));
    setModel(m_model);
    setItemDelegate(new DataGridDelegate(this));
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setDragEnabled(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (m_options.testFlag(Option::TitleClick))
            emit titleClicked(section);
    });
    // The view selects a row from the indicator only in row select mode.
    connect(verticalHeader(), &QHeaderView::sectionPressed, this, [this](int row) {
        Cursor *c = cursor();
        if (selectionBehavior() != QAbstractItemView::SelectRows && c && c->isOpen() && row != c->recNo()) {
            guarded(this, [&] {
                updateRecord();
                c->moveTo(row);
            });
            followCursor();
        }
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (!m_applyingWidths && section >= 0 && section < static_cast<int>(m_widths.size()))
            m_widths[static_cast<size_t>(section)] = size;
    });
    // The header keeps its sections when the column count stays; otherwise the
    // widths are set again.
    connect(m_model, &QAbstractItemModel::modelReset, this, &DataGrid::restoreColumnWidths);

    m_options = defaultOptions();
    applyOptions();
    applyMetrics();
}

DataGrid::~DataGrid()
{
    if (m_source)
        m_source->removeEditor(this);
}

Cursor *DataGrid::cursor() const
{
    return m_source ? m_source->cursor() : nullptr;
}

void DataGrid::setDataSource(DataSource *source)
{
    if (m_source == source)
        return;
    if (m_source) {
        m_source->removeEditor(this);
        disconnect(m_source, nullptr, this, nullptr);
    }
    discardEditor();
    m_source = source;
    // The model connects first, so it has taken each change when the grid reacts.
    m_model->setDataSource(source);
    if (m_source) {
        m_source->addEditor(this);
        connect(m_source, &DataSource::currentChanged, this, &DataGrid::followCursor);
        connect(m_source, &DataSource::stateChanged, this, [this] { verticalHeader()->viewport()->update(); });
    }
    updateEditable();
    followCursor();
}

void DataGrid::setColumns(const QList<Column> &columns)
{
    discardEditor();
    m_model->setColumns(columns);
    applyColumnWidths();
    followCursor();
}

DataGrid::Column DataGrid::column(int i) const
{
    Column c = m_model->effectiveColumn(i);
    if (i >= 0 && i < columnCount())
        c.width = columnWidth(i);
    return c;
}

int DataGrid::columnCount() const
{
    return m_model->columnCount();
}

int DataGrid::rowCount() const
{
    return m_model->rowCount();
}

QString DataGrid::cellText(int row, int column) const
{
    return m_model->displayText(row, column);
}

void DataGrid::setOptions(Options options)
{
    m_options = options;
    applyOptions();
}

void DataGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    updateEditable();
}

void DataGrid::applyOptions()
{
    horizontalHeader()->setVisible(m_options.testFlag(Option::Titles));
    verticalHeader()->setVisible(m_options.testFlag(Option::Indicator));
    horizontalHeader()->setSectionResizeMode(m_options.testFlag(Option::ColumnResize) ? QHeaderView::Interactive
                                                                                       : QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(m_options.testFlag(Option::TitleClick));
    horizontalHeader()->setAttribute(Qt::WA_Hover, m_options.testFlag(Option::TitleHotTrack));
    setTabKeyNavigation(m_options.testFlag(Option::Tabs));
    setSelectionBehavior(m_options.testFlag(Option::RowSelect) ? QAbstractItemView::SelectRows
                                                               : QAbstractItemView::SelectItems);
    updateEditable();
    // The highlight takes the new shape (a row or a cell).
    {
        FlagScope syncing(m_syncing);
        selectionModel()->clearSelection();
    }
    followCursor();
    viewport()->update();
}

void DataGrid::updateEditable()
{
    const bool editable = m_options.testFlag(Option::Editing) && !m_readOnly;
    m_model->setEditable(editable);
    setEditTriggers(editable ? (QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                | QAbstractItemView::AnyKeyPressed)
                             : QAbstractItemView::NoEditTriggers);
}

void DataGrid::applyMetrics()
{
    const QFontMetrics fm(font());
    const int rowHeight = fm.height() + 4;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    QFont titleFont = font();
    titleFont.setBold(true);
    horizontalHeader()->setFixedHeight(QFontMetrics(titleFont).height() + 5);
    m_model->setTitleFont(font());
    applyColumnWidths();
}

int DataGrid::defaultWidth(int column) const
{
    const QFontMetrics fm(font());
    const Field *f = m_model->field(column);
    int width = f ? f->displayWidth() * fm.horizontalAdvance(QLatin1Char('0')) + 4 : 64;
    if (m_options.testFlag(Option::Titles)) {
        // A title is never cut when the column takes its default width.
        const QVariant font = m_model->headerData(column, Qt::Horizontal, Qt::FontRole);
        const QFontMetrics titleMetrics(font.isValid() ? font.value<QFont>() : this->font());
        const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
        const QString title = m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        width = std::max(width, titleMetrics.horizontalAdvance(title) + 2 * margin + 4);
    }
    return width;
}

void DataGrid::applyColumnWidths()
{
    FlagScope applying(m_applyingWidths);
    const QList<Column> &given = m_model->columns();
    m_widths.clear();
    m_widthFields.clear();
    for (int i = 0; i < columnCount(); ++i) {
        const int w = i < given.size() && given[i].width > 0 ? given[i].width : defaultWidth(i);
        setColumnWidth(i, w);
        m_widths.push_back(w);
        const Field *f = m_model->field(i);
        m_widthFields << (f ? f->name() : QString());
    }
}

void DataGrid::restoreColumnWidths()
{
    QStringList names;
    for (int i = 0; i < columnCount(); ++i) {
        const Field *f = m_model->field(i);
        names << (f ? f->name() : QString());
    }
    if (names != m_widthFields) {
        applyColumnWidths();
        return;
    }
    FlagScope applying(m_applyingWidths);
    for (int i = 0; i < columnCount(); ++i)
        if (columnWidth(i) != m_widths[static_cast<size_t>(i)])
            setColumnWidth(i, m_widths[static_cast<size_t>(i)]);
}

int DataGrid::visibleRowCount() const
{
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    return std::max(1, viewport()->height() / rowHeight);
}

void DataGrid::followCursor()
{
    FlagScope syncing(m_syncing);
    verticalHeader()->viewport()->update();
    const Cursor *c = cursor();
    const int row = c && c->isOpen() ? c->recNo() : -1;
    if (row < 0 || row >= m_model->rowCount() || columnCount() == 0) {
        discardEditor();
        selectionModel()->clear();
        return;
    }
    int column = currentIndex().isValid() ? currentIndex().column() : 0;
    if (column < 0 || column >= columnCount())
        column = 0;
    const QModelIndex index = m_model->index(row, column);
    if (m_editor && m_editorIndex.row() != row)
        discardEditor();
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (m_options.testFlag(Option::RowSelect))
        flags |= QItemSelectionModel::Rows;
    if (index != currentIndex() || !selectionModel()->isSelected(index))
        selectionModel()->setCurrentIndex(index, flags);
    scrollTo(index);
}

void DataGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || m_model->isChanging() || !current.isValid())
        return;
    Cursor *c = cursor();
    if (!c || !c->isOpen() || current.row() == c->recNo())
        return;
    // A row chosen in the view (a drag, a click on the indicator, Tab past the
    // last column) becomes the current record; the highlight then shows where
    // the cursor really is, also when the move failed.
    guarded(this, [&] { c->moveTo(current.row()); });
    followCursor();
}

bool DataGrid::canStartRecord() const
{
    const Cursor *c = cursor();
    return m_options.testFlag(Option::Editing) && !m_readOnly && c && c->isOpen() && c->canModify();
}

void DataGrid::startRecord(bool appendAtEnd)
{
    Cursor *c = cursor();
    if (appendAtEnd)
        c->append();
    else
        c->insert();
}

void DataGrid::moveDown()
{
    Cursor *c = cursor();
    // A new record without changes at the end is already the row to type into.
    if (c->state() == Cursor::State::Insert && !c->isModified() && c->recNo() == c->recordCount() - 1)
        return;
    c->next();
    if (c->atEnd() && canStartRecord())
        startRecord(true);
}

void DataGrid::deleteCurrent()
{
    Cursor *c = cursor();
    if (m_readOnly || !c || !c->isOpen() || c->isEmpty() || !c->canModify())
        return;
    if (m_options.testFlag(Option::ConfirmDelete)
        && MessageDialog::show(QStringLiteral("Delete record?"), MessageDialog::Kind::Confirmation,
                               MessageDialog::Buttons::OkCancel, this)
               == MessageDialog::Result::Cancel)
        return;
    c->remove();
}

bool DataGrid::isLeavingKey(const QKeyEvent &event)
{
    return (event.key() == Qt::Key_Tab || event.key() == Qt::Key_Backtab)
           && event.modifiers().testFlag(Qt::ControlModifier);
}

void DataGrid::leave(QKeyEvent *event)
{
    event->accept();
    // Text being typed into a cell is written first, as Enter writes it.
    if (m_editor) {
        const QPointer<QLineEdit> editor = m_editor;
        commitData(editor);
        if (editor)
            closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
    }
    const bool back = event->key() == Qt::Key_Backtab || event->modifiers().testFlag(Qt::ShiftModifier);
    // The item view keeps Tab for its cells; the window's focus chain moves on.
    QWidget::focusNextPrevChild(!back);
}

void DataGrid::keyPressEvent(QKeyEvent *event)
{
    if (isLeavingKey(*event)) {
        leave(event);
        return;
    }
    Cursor *c = cursor();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = mods == Qt::ControlModifier;
    const bool plain = mods == Qt::NoModifier;
    const bool open = c && c->isOpen();
    auto run = [&](auto &&action) {
        if (open)
            guarded(this, action);
        event->accept();
    };

    switch (event->key()) {
    case Qt::Key_Up:
        if (plain)
            return run([&] { c->prior(); });
        break;
    case Qt::Key_Down:
        if (plain)
            return run([&] { moveDown(); });
        break;
    case Qt::Key_PageUp:
        if (plain)
            return run([&] { c->moveBy(-visibleRowCount()); });
        break;
    case Qt::Key_PageDown:
        if (plain)
            return run([&] { c->moveBy(visibleRowCount()); });
        break;
    case Qt::Key_Home:
        if (ctrl)
            return run([&] { c->first(); });
        break;
    case Qt::Key_End:
        if (ctrl)
            return run([&] { c->last(); });
        break;
    case Qt::Key_Escape:
        // Taken here even when nothing happens, so that it never closes the window.
        if (!m_readOnly)
            return run([&] { c->cancel(); });
        event->accept();
        return;
    case Qt::Key_Insert:
        if (plain) {
            if (canStartRecord())
                return run([&] { startRecord(false); });
            event->accept();
            return;
        }
        break;
    case Qt::Key_Delete:
        if (ctrl)
            return run([&] { deleteCurrent(); });
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The editor passes Enter on; the text is written now rather than when
        // the delegate's queued commit comes. Without an editor, Enter opens one
        // where cells can be edited.
        if (m_editor) {
            const QPointer<QLineEdit> editor = m_editor;
            commitData(editor);
            if (editor)
                closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
        } else if (currentIndex().isValid() && (m_model->flags(currentIndex()) & Qt::ItemIsEditable)
            && editTriggers() != QAbstractItemView::NoEditTriggers)
            edit(currentIndex());
        event->accept();
        return;
    case Qt::Key_Space:
        // No selection toggling: the highlight is the cursor's current record.
        if (editTriggers() == QAbstractItemView::NoEditTriggers) {
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::keyboardSearch(const QString &)
{
    // Typing never moves the current record.
}

void DataGrid::mousePressEvent(QMouseEvent *event)
{
    Cursor *c = cursor();
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && c && c->isOpen() && index.row() != c->recNo()) {
        // Move the cursor before the view moves its selection, so that a refusal
        // (a changed record that cannot be posted) leaves everything in place.
        const bool moved = guarded(this, [&] {
            updateRecord();
            c->moveTo(index.row());
        });
        if (!moved) {
            event->accept();
            return;
        }
    }
    QTableView::mousePressEvent(event);
}

bool DataGrid::focusIsInside() const
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

void DataGrid::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void DataGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
    // Only a move to another control counts as leaving; a dialog or another
    // window taking the focus does not.
    if (!m_options.testFlag(Option::CancelOnExit) || event->reason() == Qt::ActiveWindowFocusReason
        || event->reason() == Qt::PopupFocusReason || focusIsInside())
        return;
    Cursor *c = cursor();
    if (c && c->isOpen() && c->state() == Cursor::State::Insert && !c->isModified())
        guarded(this, [&] { c->cancel(); });
}

void DataGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyMetrics();
}

void DataGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (editor == m_editor)
        m_editor = nullptr;
    QTableView::closeEditor(editor, hint);
}

void DataGrid::discardEditor()
{
    if (m_editor)
        closeEditor(m_editor, QAbstractItemDelegate::NoHint);
}

void DataGrid::updateRecord()
{
    if (!m_editor || m_writingCell)
        return;
    const QString text = m_editor->text();
    const QModelIndex index = m_editorIndex;
    FlagScope writing(m_writingCell);
    try {
        m_model->writeText(index, text);
    } catch (...) {
        discardEditor();
        throw;
    }
    discardEditor();
}
