// The simulated controller's event store: what adds a record, the ring's limit, and the
// four store commands as the tool's own link sees them.
#include <gtest/gtest.h>

#include "sim/SimConsole.h"
#include "test_sim_harness.h"

using namespace simtest;

namespace {

QList<sim::EventKind> kindsOf(const sim::EventStore& store) {
    QList<sim::EventKind> kinds;
    for (const sim::Event& e : store.events()) kinds.append(e.kind);
    return kinds;
}

}  // namespace

TEST(SimEvents, InputChangesAlarmsAndRebootsAreRecordedFactoryResetEmptiesTheStore) {
    using K = sim::EventKind;
    SimBench b(sim::Model::V5);
    ASSERT_TRUE(b.open());
    sim::EventStore& store = b.controller.events();
    ASSERT_EQ(store.size(), 5);  // seeded

    b.controller.setInputs("10000000");
    b.controller.setInputs("10000000");  // no change, no record
    b.controller.setInput(1, false);
    ASSERT_TRUE(b.crc("0000JF3"));
    ASSERT_TRUE(b.crc("0000JF9"));  // refused: nothing happened, nothing recorded
    ASSERT_TRUE(b.crc("0000AR00"));
    EXPECT_EQ(kindsOf(store).mid(5), QList<K>({K::InputOn, K::InputOff, K::Alarm, K::PowerUp}));
    EXPECT_EQ(store.events()[7].point, 3);
    EXPECT_EQ(store.events()[5].point, 1);

    ASSERT_TRUE(b.crc("0000AR01"));
    EXPECT_EQ(kindsOf(store), QList<K>({K::PowerUp}));
    EXPECT_EQ(store.events()[0].time.date(), QDate(2000, 1, 1));
}

TEST(SimEvents, AFullRingDropsItsOldestAndTheReadPointerKeepsItsRecord) {
    sim::EventStore store;
    const QDateTime t(QDate(2026, 1, 1), QTime(0, 0));
    for (int i = 0; i < sim::EventStore::kCapacity; ++i) store.add(t, sim::EventKind::InputOn, 1);
    store.advance();
    store.advance();  // pointing at sequence 3
    store.add(t, sim::EventKind::Alarm, 2, "12345678901234");  // drops sequence 1

    EXPECT_EQ(store.size(), sim::EventStore::kCapacity);
    EXPECT_EQ(store.events().first().sequence, 2);
    EXPECT_EQ(store.current()->sequence, 3);
    EXPECT_EQ(store.remaining(), sim::EventStore::kCapacity - 1);
    EXPECT_EQ(store.events().last().number, "5678901234");  // the last ten digits
    EXPECT_EQ(sim::EventStore::encode(store.events().last()),
              "000201" "20260101000000" "05" "2" "5678901234");
}

TEST(SimEvents, StoreCommandsOverTheLink) {
    for (Via via : {Via::Tcp, Via::Pty}) {
        SCOPED_TRACE(viaName(via));
        SimBench b(sim::Model::Kv410, via, "0042");
        ASSERT_TRUE(b.open());
        ASSERT_TRUE(b.crc("0042IE"));
        EXPECT_EQ(b.length(), 39);
        EXPECT_EQ(b.at(6, 2), "IE");
        EXPECT_EQ(b.at(22, 12), "000500050200");  // waiting, stored, capacity

        ASSERT_TRUE(b.crc("0042QI"));  // the pointer starts at the oldest record
        EXPECT_EQ(b.length(), 46);
        EXPECT_EQ(b.at(8, 6), "000001");
        EXPECT_EQ(b.at(28, 3), "060");  // power up, no point

        ASSERT_TRUE(b.crc("0042PI"));
        EXPECT_EQ(b.at(6, 6), "PI0004");
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(b.crc("0042PI"));  // passing the end is harmless
        EXPECT_EQ(b.at(8, 4), "0000");
        ASSERT_TRUE(b.crc("0042QI"));
        EXPECT_EQ(b.length(), 13);  // no record past the last

        ASSERT_TRUE(b.crc("0042IB"));
        EXPECT_EQ(b.at(6, 6), "IB0005");
        ASSERT_TRUE(b.crc("0042QI"));
        EXPECT_EQ(b.at(8, 6), "000001");
    }
}

TEST(SimEvents, TheOlderDeviceKeepsItsStatusIeAndAnswersTheOtherStoreCommands) {
    SimBench b(sim::Model::Old20, Via::Tcp, "007");
    ASSERT_TRUE(b.open());
    ASSERT_TRUE(b.crc("007IE"));
    EXPECT_EQ(b.length(), 32);
    ASSERT_TRUE(b.crc("007IB"));
    EXPECT_EQ(b.length(), 16);
    EXPECT_EQ(b.at(5, 6), "IB0005");
    ASSERT_TRUE(b.crc("007QI"));
    EXPECT_EQ(b.length(), 45);
}

TEST(SimEvents, ThePromptAddsCardReads) {
    sim::Controller c(sim::Model::Kv410);
    sim::Console console(c);
    EXPECT_EQ(console.execute("card 2 123456"), "6 records\n");
    EXPECT_EQ(console.execute("card 3 99 denied"), "7 records\n");
    EXPECT_TRUE(console.execute("card 5 1").startsWith("card DOOR"));
    EXPECT_TRUE(console.execute("card 1 12345678901").startsWith("card DOOR"));
    EXPECT_EQ(c.events().events()[5].number, "0000123456");
    EXPECT_EQ(c.events().events()[6].kind, sim::EventKind::CardDenied);
    EXPECT_TRUE(console.execute("events").endsWith("7 records, 7 not yet read\n"));
}
