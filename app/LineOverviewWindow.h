#pragma once
// The line's overview window: every station of the line on the shared server, live.
// It reads the server over a read-only connection of its own when a station beats (a
// PostgreSQL notification, at most once a second) and every 5 s besides, so that a
// station falling silent turns away without a beat. The time comes from `now`, which a
// test sets.

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QTableView;
class QTimer;

namespace pb {

namespace records {
class RecordStore;
}
class LineOverviewModel;

class LineOverviewWindow : public QWidget {
    Q_OBJECT
public:
    using NowMs = std::function<qint64()>;
    static constexpr int kReadEveryMs = 5000;

    LineOverviewWindow(const QString& url, int language, NowMs now = {}, QWidget* parent = nullptr);
    ~LineOverviewWindow() override;

    void setLanguage(int language);
    LineOverviewModel& model() { return *model_; }
    QTableView* table() const { return table_; }
    QLabel* statusLabel() const { return status_; }
    // Whether the server's notifications bring every beat at once.
    bool followsNotifications() const { return listening_; }

public slots:
    // Reads the server now.
    void refresh();

private:
    void openServer();
    void fitColumns();

    QString url_;
    NowMs now_;
    int language_ = 0;
    std::unique_ptr<records::RecordStore> server_;
    bool listening_ = false;
    LineOverviewModel* model_;
    QTableView* table_;
    QLabel* status_;
    QTimer* timer_;
    QTimer* soon_;  // a notification's read, at most one a second
    QString readError_;
    qint64 readMs_ = 0;
};

}  // namespace pb
