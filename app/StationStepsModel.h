#pragma once
// The station's table of a recipe's steps: each step's live state (waiting, running try
// n, passed, failed, not run) and what it measured, in the station's language.

#include <QAbstractTableModel>
#include <QList>

#include "recipes/Recipe.h"
#include "recipes/RecipeJudge.h"

namespace pb {

class StationStepsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColumnNumber, ColumnStep, ColumnState, ColumnMeasured, ColumnCount };
    enum class State { Waiting, Running, Passed, Failed, NotRun };

    explicit StationStepsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // A new recipe: every step waiting.
    void setRecipe(const Recipe& recipe);
    void setLanguage(int language);
    // Every step waiting again (a new unit).
    void clearRun();
    void stepStarted(int index, int attempt);
    // How far a long step is (blocks programmed, patterns applied); total 0: not known.
    void stepProgress(int index, int done, int total);
    // What the step measured, language-free; the verdict says why it failed.
    void stepEnded(int index, const StepVerdict& verdict, const Measurements& measured);
    // At the end of a run: steps never reached show "not run".
    void markUnreached();

    State state(int index) const { return rows_.at(index).state; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        RecipeStep step;
        State state = State::Waiting;
        int attempt = 0;
        int done = 0, total = 0;  // progress while running
        StepVerdict verdict;
        Measurements measured;
    };
    QString stateText(const Row& row) const;
    QString measuredText(const Row& row) const;
    void changed(int index);

    QList<Row> rows_;
    int language_ = 0;
};

}  // namespace pb
