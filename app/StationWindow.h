#pragma once
// The test station: one product's recipe run on each unit an operator scans. A barcode
// scanner types the serial number plus Enter into the serial field; the steps show their
// live state, and one large PASS or FAIL stays until the next scan. Usable by keyboard
// and scanner alone. While a unit runs, further scans are ignored (the unit on the
// fixture is the one scanned; a scan meanwhile is most likely a slip) and the hint line
// says so; Esc stops the running unit, and closes the window while none runs.

#include <QWidget>
#include <functional>
#include <memory>

#include "link/Clock.h"
#include "link/Link.h"
#include "link/LinkSettings.h"
#include "recipes/Recipe.h"
#include "runner/Cancel.h"
#include "runner/RunClock.h"
#include "recipes/RecipeFlow.h"
#include "recipes/ShiftCounts.h"
#include "runner/RecipeRunObserver.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace pb {

class FitLabel;
class RecipeRunner;
class StationStepsModel;
namespace records {
class RecordStore;
}

class StationWindow : public QWidget, private RecipeRunObserver {
    Q_OBJECT
public:
    // `link` gives the link settings at each scan (the main window's, or the stored ones).
    StationWindow(Recipe recipe, std::function<LinkSettings()> link, int language,
                  QWidget* parent = nullptr);
    ~StationWindow() override;

    void setLanguage(int language);
    int language() const { return language_; }
    const Recipe& recipe() const { return recipe_; }
    bool running() const { return running_; }
    // The serial of the unit running or last shown.
    QString unitSerial() const { return unitSerial_; }
    const ShiftCounts& counts() const { return counts_; }
    // The link shown, from the settings as they are now.
    void refreshLink();
    // Keep each unit's run in `store` (one recipe run with its steps); null: none.
    void setRecords(records::RecordStore* store, const QString& operatorName);
    // The clock of the steps' pauses (tests shorten it); null: the window's own.
    void setClock(Clock* clock);

    // The controls, for tests.
    QLineEdit* serialField() const { return serial_; }
    FitLabel* verdictLabel() const { return verdict_; }
    QLabel* verdictDetail() const { return verdictDetail_; }
    QLabel* hintLabel() const { return hint_; }
    QTableView* stepsTable() const { return table_; }
    StationStepsModel* stepsModel() const { return steps_; }
    QPushButton* resetButton() const { return reset_; }
    QPushButton* closeButton() const { return close_; }
    QLabel* countsLabel() const { return countsText_; }

signals:
    // A scan was taken and its unit is about to run; the verdict came.
    void unitStarted(const QString& serial);
    void unitEnded(const QString& serial, bool passed);
    // Every frame the steps' link carried (for a traffic monitor).
    void traffic(const pb::TrafficRecord& record);

public slots:
    void resetCounts();
    // Stops the running unit between exchanges (Esc).
    void stopUnit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Never closes under a running unit: it is stopped, and the window closes after.
    void closeEvent(QCloseEvent* event) override;

private:
    void scanEntered();
    void runUnit(const QString& serial);
    void makeRunner();
    // RecipeRunObserver: what the run reports, as it happens.
    void recipeStarted(const Recipe& recipe, const QString& serial) override;
    void stepStarted(int index, int attempt) override;
    void stepProgress(int index, const QString& phase, int done, int total) override;
    void stepEnded(int index, const StepResult& result) override;
    void recipeEnded(const UnitVerdict& verdict, const QList<StepResult>& results) override;

    enum class Banner { Ready, Testing, Pass, Fail };
    void showBanner();
    void showCounts();
    void retranslate();

    Recipe recipe_;
    std::function<LinkSettings()> link_;
    Cancel cancel_;
    RunClock ownClock_{&cancel_};
    Clock* clock_ = &ownClock_;
    std::unique_ptr<RecipeRunner> runner_;
    records::RecordStore* records_ = nullptr;
    QString operator_;
    int language_ = 0;
    bool running_ = false;
    bool closeRequested_ = false;
    ShiftCounts counts_;

    Banner banner_ = Banner::Ready;
    QString unitSerial_;  // the unit on show
    UnitVerdict verdictShown_;
    QString ignoredScan_;

    QLabel* productCaption_;
    QLabel* product_;
    QLabel* recipeCaption_;
    QLabel* recipeFile_;
    QLabel* linkCaption_;
    QLabel* linkText_;
    QLabel* serialCaption_;
    QLineEdit* serial_;
    QLabel* hint_;
    QFrame* bannerFrame_;
    FitLabel* verdict_;
    QLabel* verdictDetail_;
    QTableView* table_;
    StationStepsModel* steps_;
    QLabel* countsText_;
    QPushButton* reset_;
    QPushButton* stop_;
    QPushButton* close_;
};

}  // namespace pb
