#include "DocumentListView.h"

#include "DocumentPaths.h"
#include "FileNames.h"

#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include <stdexcept>

namespace {

QStringList localPaths(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            paths << pathFromUrl(url);
    return paths;
}

QPoint screenCursorPosition()
{
    const QPoint global = QCursor::pos();
    const QScreen *screen = QGuiApplication::screenAt(global);
    return screen ? global - screen->geometry().topLeft() : global;
}

} // namespace

DocumentListView::DocumentListView(const QString &dragIconPath, QWidget *parent)
    : QTreeWidget(parent), m_dragIconPath(dragIconPath), m_cursorPosition(screenCursorPosition)
{
    setObjectName(QStringLiteral("ListView1"));
    setColumnCount(1);
    setHeaderLabels({QStringLiteral(" Word Files")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QString hint = QStringLiteral("Drag and drop files here. Drag files up and down to "
                                        "change order. Double-click item to remove it.");
    setToolTip(hint);
    // The hint is the list's instructions; screen readers read this one.
    setAccessibleDescription(hint);
    // Rows are never dragged out of the list; files are dropped into it.
    setDragEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setMouseTracking(true);
    header()->setStretchLastSection(false);
}

void DocumentListView::append(const QString &path)
{
    auto *item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    addTopLevelItem(item);
    setTextAt(count(), displayedPath(path));
}

int DocumentListView::count() const
{
    return topLevelItemCount();
}

QString DocumentListView::pathAt(int position) const
{
    if (position < 1 || position > count())
        throw std::out_of_range("Index out of bounds");
    return topLevelItem(position - 1)->data(0, PathRole).toString();
}

void DocumentListView::setTextAt(int position, const QString &text)
{
    // The row shows the path as people read it and holds it as it is (a
    // name that is not UTF-8 shows a replacement character).
    if (position < 1 || position > count())
        return;
    QTreeWidgetItem *item = topLevelItem(position - 1);
    item->setData(0, PathRole, text);
    item->setText(0, shownPath(text));
}

void DocumentListView::removeAt(int position)
{
    if (position >= 1 && position <= count())
        delete takeTopLevelItem(position - 1);
}

void DocumentListView::clearList()
{
    clear();
}

void DocumentListView::removeSelected()
{
    // From the last row up, so that a removal never moves a row still to visit.
    for (int i = count(); i >= 1; --i)
        if (isSelectedAt(i))
            removeAt(i);
}

bool DocumentListView::isSelectedAt(int position) const
{
    return position >= 1 && position <= count() && topLevelItem(position - 1)->isSelected();
}

void DocumentListView::setSelectedAt(int position)
{
    if (position >= 1 && position <= count())
        topLevelItem(position - 1)->setSelected(true);
}

int DocumentListView::currentPosition() const
{
    QTreeWidgetItem *item = currentItem();
    return item ? indexOfTopLevelItem(item) + 1 : 0;
}

int DocumentListView::positionAt(const QPoint &point) const
{
    QTreeWidgetItem *item = itemAt(point);
    return item ? indexOfTopLevelItem(item) + 1 : 0;
}

void DocumentListView::makeVisible(int position)
{
    if (position >= 1 && position <= count())
        scrollToItem(topLevelItem(position - 1));
}

QStringList DocumentListView::paths() const
{
    QStringList all;
    for (int i = 1; i <= count(); ++i)
        all << pathAt(i);
    return all;
}

void DocumentListView::removeCurrent()
{
    if (const int position = currentPosition())
        removeAt(position);
}

void DocumentListView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) { // whatever Shift, Ctrl and Alt say
        removeCurrent();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void DocumentListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTreeWidget::mouseDoubleClickEvent(event);
    removeCurrent();
}

void DocumentListView::mousePressEvent(QMouseEvent *event)
{
    m_buttonDown = true; // any button
    QTreeWidget::mousePressEvent(event);
    // Pressing a row is the click that picks it up for a drag.
    if (itemAt(event->position().toPoint()))
        startDrag();
}

void DocumentListView::startDrag()
{
    QPixmap image(m_dragIconPath);
    viewport()->setCursor(image.isNull() ? QCursor(Qt::ArrowCursor) : QCursor(image));
    m_draggedItem = QPersistentModelIndex(currentIndex());
}

void DocumentListView::mouseMoveEvent(QMouseEvent *event)
{
    // The window's pointer follows the same rule as on its other surfaces:
    // the busy pointer of a long operation stays.
    if (QWidget *top = window(); top && top->cursor().shape() != Qt::WaitCursor)
        top->unsetCursor();
    // A release that another window took (a message box, say) never
    // reached the list: a move with no button held ends the drag too.
    if (m_buttonDown && event->buttons() == Qt::NoButton)
        endDrag();
    if (!m_buttonDown) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    dragTo(event->position().toPoint());
}

void DocumentListView::dragTo(const QPoint &point)
{
    QTreeWidgetItem *under = itemAt(point);
    if (!under || !m_draggedItem.isValid())
        return;
    const int from = m_draggedItem.row() + 1;
    const int to = indexOfTopLevelItem(under) + 1;
    const QString dragged = pathAt(from);
    const QString other = pathAt(to);
    if (dragged == other) // also the row that holds the dragged path
        return;
    setTextAt(from, other);
    setTextAt(to, dragged);
    topLevelItem(from - 1)->setSelected(false);
    setSelectedAt(to);
    // The moved path's row is the current item too, so that Delete or a
    // double-click removes the document the user sees highlighted.
    selectionModel()->setCurrentIndex(model()->index(to - 1, 0), QItemSelectionModel::NoUpdate);
    m_draggedItem = QPersistentModelIndex(model()->index(to - 1, 0));

    const int y = m_cursorPosition().y();
    if (y < ScrollUpBelowY && to > 1)
        makeVisible(to - 1);
    else if (y > ScrollDownAboveY && count() >= to + 1)
        makeVisible(to + 1);
}

void DocumentListView::endDrag()
{
    m_buttonDown = false;
    viewport()->setCursor(Qt::ArrowCursor);
}

void DocumentListView::mouseReleaseEvent(QMouseEvent *event)
{
    endDrag();
    QTreeWidget::mouseReleaseEvent(event);
}

void DocumentListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (localPaths(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void DocumentListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (localPaths(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void DocumentListView::dropEvent(QDropEvent *event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(paths);
}
