// The records store meeting a file it did not write, or one a crash or a full disk left
// damaged: the input is written as the records file and opened as a recording command
// opens it, or as a command that only reads opens it, and what opens is read back whole. The traffic blobs of a run are read
// through their decoder too, from the input as it is and compressed.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "records/store/RecordStore.h"
#include "records/store/CappedTraffic.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using namespace pb::records;

struct Scratch {
    Scratch() {
        // Qt finds its SQL drivers through an application object.
        static int argc = 1;
        static char name[] = "fuzz_records_import";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) app = new QCoreApplication(argc, argv);
        FUZZ_REQUIRE(dir.isValid());
    }
    QCoreApplication* app = nullptr;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("records.sqlite"));
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

bool SameFrames(const KeptTraffic& a, const KeptTraffic& b) {
    if (a.dropped != b.dropped || a.droppedAfter != b.droppedAfter || a.frames.size() != b.frames.size())
        return false;
    for (qsizetype i = 0; i < a.frames.size(); ++i) {
        const TrafficFrame& x = a.frames[i];
        const TrafficFrame& y = b.frames[i];
        if (x.ms != y.ms || x.direction != y.direction || x.bytes != y.bytes || x.verdict != y.verdict ||
            x.note != y.note)
            return false;
    }
    return true;
}

void CheckBlob(const QByteArray& blob) {
    const std::optional<KeptTraffic> traffic = DecodeTraffic(blob);
    if (!traffic) return;
    for (const TrafficFrame& f : traffic->frames) FUZZ_REQUIRE(int(f.direction) >= 0 && int(f.direction) <= 2);
    // What decodes, encoded again, decodes the same.
    const std::optional<KeptTraffic> again = DecodeTraffic(EncodeTraffic(*traffic));
    FUZZ_REQUIRE(again && SameFrames(*again, *traffic));
}

QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Everything a records window or `records list/show/export` reads.
void ReadAll(RecordStore& store) {
    const QList<UnitRow> units = store.queries().units();
    for (const UnitRow& u : units) store.queries().unit(u.id);
    const QList<RunRow> runs = store.queries().runs(RunFilter{});
    for (const RunRow& r : runs) {
        store.queries().run(r.id);
        const KeptTraffic kept = store.queries().traffic(r.id);
        for (const TrafficFrame& f : kept.frames) FUZZ_REQUIRE(int(f.direction) >= 0 && int(f.direction) <= 2);
        store.queries().recipeRunOf(r.id);
    }
    for (const RecipeRunRow& rr : store.queries().recipeRuns(RunFilter{})) store.queries().recipeRun(rr.id);
    store.outbox().pendingUploads();
}

// Writes the input as the records file, with nothing of the last input beside it: a file
// moved aside, journals, a fresh store.
void WriteInput(const QByteArray& bytes) {
    Scratch& s = scratch();
    QDir folder(s.dir.path());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) folder.remove(name);
    QFile out(s.path);
    FUZZ_REQUIRE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
}

// A command that only reads (list, show, export, stats): the file is never moved, changed
// or migrated, whatever it holds; it either opens and reads whole or says what it is.
void CheckReadOnly(const QByteArray& bytes) {
    Scratch& s = scratch();
    WriteInput(bytes);
    RecordStore store;
    const RecordsStatus status = store.openSqlite(s.path, RecordStore::Access::ReadOnly);
    FUZZ_REQUIRE(status.path == s.path && status.movedAsideTo.isEmpty());
    FUZZ_REQUIRE(store.isOpen() == status.ok());
    if (store.isOpen()) ReadAll(store);
    store.close();
    FUZZ_REQUIRE(Contents(s.path) == bytes);
    const QStringList left = QDir(s.dir.path()).entryList(QDir::Files | QDir::Hidden);
    FUZZ_REQUIRE(left == QStringList{QStringLiteral("records.sqlite")});
}

void CheckStore(const QByteArray& bytes) {
    Scratch& s = scratch();
    WriteInput(bytes);
    RecordStore store;
    const RecordsStatus status = store.openSqlite(s.path);
    FUZZ_REQUIRE(status.path == s.path);
    if (status.error == RecordsError::Damaged || status.error == RecordsError::Foreign ||
        status.error == RecordsError::NotAStore) {
        // Set aside, and a store of ours in its place. (A file the store wrote to before it
        // found the damage, such as marking runs interrupted, is set aside as it then is.)
        FUZZ_REQUIRE(!status.movedAsideTo.isEmpty() && QFile::exists(status.movedAsideTo));
        if (!bytes.startsWith("SQLite format 3")) FUZZ_REQUIRE(Contents(status.movedAsideTo) == bytes);
        FUZZ_REQUIRE(store.isOpen());
        FUZZ_REQUIRE(store.queries().units().isEmpty() && store.queries().runs(RunFilter{}).isEmpty());
    } else if (status.error == RecordsError::NewerSchema) {
        // A newer program's store is left as it is.
        FUZZ_REQUIRE(!store.isOpen() && status.movedAsideTo.isEmpty());
    } else {
        FUZZ_REQUIRE(status.movedAsideTo.isEmpty());
        // A store of ours (or an empty file made one): whatever it holds reads without harm,
        // and a failure on the way shuts the store rather than giving half rows.
        if (store.isOpen()) ReadAll(store);
    }
    store.close();
}

}  // namespace

// Input: a mode byte, then the bytes. Odd modes: a run's stored traffic, as it is and
// compressed; even modes: the bytes are the records file, opened to record (bits 1 and 2
// clear) or only to read (either set). A recording open of a damaged file sets it aside
// and makes a fresh store, some 20 times the work of the rest, so it has one mode in eight.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    scratch();
    if (size == 0) return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1) {
        CheckBlob(bytes);
        CheckBlob(qCompress(bytes));
    } else if (data[0] & 6) {
        CheckReadOnly(bytes);
    } else {
        CheckStore(bytes);
    }
    return 0;
}
