#pragma once
// The records window's models: SQL query models over the store's queries (rows are
// fetched as the view scrolls, so 100,000 runs open as fast as 100), shown in the
// window's language, and the frames of one run.

#include <QAbstractTableModel>
#include <QJsonObject>
#include <QSqlQueryModel>

#include "records/store/RecordTypes.h"

class RecordsUnitsModel : public QSqlQueryModel {
    Q_OBJECT
public:
    using QSqlQueryModel::QSqlQueryModel;
    void setLanguage(int language);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    qint64 unitId(int row) const;
    // Whether the window shows this column (the ids and the link are for its own use).
    static bool IsShown(int column);

private:
    int language_ = 0;
};

class RecordsRunsModel : public QSqlQueryModel {
    Q_OBJECT
public:
    using QSqlQueryModel::QSqlQueryModel;
    void setLanguage(int language);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The row's procedure run, or its unit test (recipe run): one of the two is 0.
    qint64 runId(int row) const;
    qint64 recipeRunId(int row) const;
    qint64 unitId(int row) const;
    // Whether the window shows this column (ids, details and a unit test's parts are read
    // through the accessors below).
    static bool IsShown(int column);

private:
    bool isUnitTest(int row) const;
    QVariant field(int row, int column) const;
    QJsonObject details(int row) const;
    // The row's cause as kept; a row kept before causes were: unknown, with `oldText`.
    pb::Cause cause(int row, const QString& oldText) const;
    QString recipeName(int row) const;
    int failingStep(int row) const;  // -1: none
    QString failingLabel(int row) const;
    int language_ = 0;
};

class RecordsTrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    enum Column { Time, Direction, Bytes, Verdict, Note, Columns };
    void setTraffic(const pb::records::KeptTraffic& traffic);
    void setLanguage(int language);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    pb::records::KeptTraffic traffic_;
    int language_ = 0;
};

// Texts shared by the window and its models.
QString RecordsTimeText(qint64 ms);
QString RecordsOutcomeText(const QString& code, int language);
