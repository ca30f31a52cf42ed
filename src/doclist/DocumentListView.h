#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <functional>

// The document list: one column of full paths, in printing order. Rows are
// removed with the Delete key or a double-click, reordered by dragging, and
// files dropped onto the list are handed on through filesDropped.
class DocumentListView : public QTreeWidget
{
    Q_OBJECT

public:
    using CursorPosition = std::function<QPoint()>;

    // dragIconPath: the image the pointer shows while a row is dragged.
    explicit DocumentListView(const QString &dragIconPath, QWidget *parent = nullptr);

    // Positions are 1-based, as everywhere in the program.
    void append(const QString &path);
    [[nodiscard]] int count() const;
    [[nodiscard]] QString pathAt(int position) const; // throws std::out_of_range
    void setTextAt(int position, const QString &text);
    void removeAt(int position);
    void clearList();
    void removeSelected();
    [[nodiscard]] bool isSelectedAt(int position) const;
    void setSelectedAt(int position);
    // The current item's position, 0 for none.
    [[nodiscard]] int currentPosition() const;
    // The position of the row at a point of the viewport, 0 for none.
    [[nodiscard]] int positionAt(const QPoint &point) const;
    void makeVisible(int position);
    [[nodiscard]] QStringList paths() const;

    // Where the pointer is on its screen, in pixels from the screen's top.
    void setCursorPositionSource(CursorPosition source) { m_cursorPosition = std::move(source); }

    static constexpr int ScrollUpBelowY = 305;
    static constexpr int ScrollDownAboveY = 364;

signals:
    // Local paths dropped onto the list, in the drop's order.
    void filesDropped(const QStringList &paths);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    static constexpr int PathRole = Qt::UserRole;

    void removeCurrent();
    void startDrag();
    void dragTo(const QPoint &point);
    void endDrag();

    QString m_dragIconPath;
    CursorPosition m_cursorPosition;
    bool m_buttonDown = false;
    // The row that holds the path being dragged; invalid once that row is gone.
    QPersistentModelIndex m_draggedItem;
};
