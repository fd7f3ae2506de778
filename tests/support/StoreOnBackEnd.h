#pragma once
// A parameterised test's fresh store on each back end: a SQLite file in a folder of its
// own, or a database of its own on the PostgreSQL test cluster.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>

#include "records/store/RecordStore.h"
#include "tests/support/PgServer.h"

namespace pbtest {

enum class BackEnd { Sqlite, Postgres };

class StoreOnBackEnd : public ::testing::TestWithParam<BackEnd> {
protected:
    void SetUp() override {
        if (GetParam() == BackEnd::Postgres) {
            QString why;
            url = FreshDatabase(&why);
            ASSERT_FALSE(url.isEmpty()) << why.toStdString();
        }
        const pb::records::RecordsStatus s =
            GetParam() == BackEnd::Sqlite ? store.openSqlite(dir.filePath("records.sqlite")) : store.openUrl(url);
        ASSERT_TRUE(s.ok()) << s.detail.toStdString();
    }

    QTemporaryDir dir;
    QString url;  // the PostgreSQL database; empty on SQLite
    pb::records::RecordStore store;
};

inline auto BothBackEnds() { return ::testing::Values(BackEnd::Sqlite, BackEnd::Postgres); }
inline std::string BackEndName(const ::testing::TestParamInfo<BackEnd>& info) {
    return info.param == BackEnd::Sqlite ? "Sqlite" : "Postgres";
}

}  // namespace pbtest
