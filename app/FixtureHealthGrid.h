#pragma once
// Fixture health as cells: one per socket of each fixture, coloured by its failure rate,
// a flagged socket (failing more than the rest of its fixture) with a thick red border
// and "!". A click on a cell names its fixture and socket.

#include <QLabel>
#include <QList>
#include <QWidget>

#include "records/figures/LineFigures.h"

class QGridLayout;

class SocketCell : public QLabel {
    Q_OBJECT
public:
    SocketCell(const pb::records::SocketHealth& health, int language, QWidget* parent);
    const pb::records::SocketHealth& health() const { return health_; }
    bool marked() const { return health_.flagged; }
    // The background drawn for its failure rate.
    QColor fill() const { return fill_; }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    pb::records::SocketHealth health_;
    QColor fill_;
};

class FixtureHealthGrid : public QWidget {
    Q_OBJECT
public:
    explicit FixtureHealthGrid(QWidget* parent = nullptr);
    // Replaces the cells (sockets in fixture order, as LineFigures gives them).
    void setSockets(const QList<pb::records::SocketHealth>& sockets, int language);
    const QList<SocketCell*>& cells() const { return cells_; }

signals:
    void socketChosen(const QString& fixture, const QString& socket);

private:
    QGridLayout* grid_;
    QList<QWidget*> shown_;
    QList<SocketCell*> cells_;
};
