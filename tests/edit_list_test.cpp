#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "preview/edit_list.h"

namespace veltrane::preview {
namespace {

using Records = std::vector<GapRecord>;

// Three silences in a recording 1000 ms long.
const Records kThree = {{100, 200}, {300, 400}, {600, 900}};

// Makes an edit, checks it did what was meant, undoes it and redoes it.
void expect_edit(EditList& list, const std::optional<Edit>& edit, const Records& after) {
    ASSERT_TRUE(edit.has_value());
    EXPECT_EQ(list.records(), after);
    const std::vector<EditedSilence> done = list.silences();
    list.revert(*edit);
    EXPECT_EQ(list.records(), kThree) << "undo";
    for (const EditedSilence& s : list.silences()) EXPECT_FALSE(s.edited) << "undo keeps flags";
    list.apply(*edit);
    EXPECT_EQ(list.silences(), done) << "redo";
    list.revert(*edit);
}

// Every operation, dragged or keyed, one step each through the window:
// PreviewEditTest.EachOperationIsOneStepThatUndoesAndRedoes. Here the limits of each.
TEST(EditList, EachOperationStopsAtItsLimitsAndWhatChangesNothingIsNoStep) {
    EditList list(kThree, 1000);
    expect_edit(list, list.move_edge(1, Edge::Start, 450), {{100, 200}, {399, 400}, {600, 900}});
    expect_edit(list, list.move_edge(1, Edge::End, 250), {{100, 200}, {300, 301}, {600, 900}});
    expect_edit(list, list.add(450, 0), {{100, 200}, {300, 400}, {400, 450}, {600, 900}});
    expect_edit(list, list.add(950, 2000), {{100, 200}, {300, 400}, {600, 900}, {950, 1000}});
    expect_edit(list, list.split(2, 899), {{100, 200}, {300, 400}, {600, 899}, {899, 900}});
    EXPECT_FALSE(list.add(150, 250)) << "anchor inside a silence";
    EXPECT_FALSE(list.add(300, 350)) << "from a start into its silence";
    EXPECT_FALSE(list.add(1000, 2000)) << "past the end";
    EXPECT_FALSE(list.split(0, 100)) << "empty first part";
    EXPECT_FALSE(list.split(0, 200)) << "empty second part";
    EXPECT_FALSE(list.move_edge(0, Edge::Start, 100));
    EXPECT_FALSE(list.move_edge(3, Edge::Start, 10));
    EXPECT_FALSE(list.nudge(2, Edge::End, 0));
    EXPECT_FALSE(list.remove(3));
    EXPECT_EQ(list.records(), kThree);
    EditList tight(Records{{5, 8}, {15, 995}}, 1000);
    ASSERT_TRUE(tight.nudge(0, Edge::Start, -10));
    ASSERT_TRUE(tight.nudge(1, Edge::End, 10));
    ASSERT_TRUE(tight.nudge(1, Edge::Start, 1000));
    EXPECT_EQ(tight.records(), (Records{{0, 8}, {999, 1000}}));
    EXPECT_FALSE(tight.move_edge(0, Edge::Start, -1));
    EXPECT_FALSE(EditList(Records{{0, 10}, {10, 1000}}, 1000).nudge(1, Edge::Start, -10))
        << "touching neighbour";
    EditList one(Records{{0, 1000}}, 1000);
    EXPECT_FALSE(one.add(1000, 0)) << "no empty stretch";
    ASSERT_TRUE(one.remove(0));
    EXPECT_TRUE(one.add(0, 1000));
}

TEST(EditList, AStartFromAForeignListIsMadeValidAndMarked) {
    const Records odd = {{600, 900}, {100, 200},   {150, 250},   {300, 300},
                         {-20, 50},  {950, 40000}, {2000, 3000}, {400, 350}};
    EditList list(odd, 1000);
    EXPECT_EQ(list.records(), (Records{{0, 50}, {100, 200}, {200, 250}, {600, 900}, {950, 1000}}));
    std::vector<bool> edited;
    for (const EditedSilence& s : list.silences()) edited.push_back(s.edited);
    EXPECT_EQ(edited, (std::vector<bool>{true, false, true, false, true}));
    EXPECT_EQ(list.adjusted_at_start(), 6u);
    // A long recording keeps its silences past 32,767 ms, as Generate writes them.
    EditList long_one(Records{{30000, 40000}, {3'500'000, 3'600'000}}, 3'600'000);
    EXPECT_EQ(long_one.records(), (Records{{30000, 40000}, {3'500'000, 3'600'000}}));
    EXPECT_EQ(long_one.adjusted_at_start(), 0u);
    EXPECT_TRUE(long_one.move_edge(0, Edge::End, 45000));
    EXPECT_FALSE(long_one.move_edge(1, Edge::End, 3'700'000)) << "not past the recording";
}

bool valid(const Records& r, std::int32_t limit) {
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (r[i].start_ms < 0 || r[i].start_ms >= r[i].end_ms || r[i].end_ms > limit) return false;
        if (i > 0 && r[i].start_ms < r[i - 1].end_ms) return false;
    }
    return true;
}

TEST(EditList, AnyRunOfOperationsKeepsTheListValidAndUndoesToTheStart) {
    std::mt19937 random(7);
    for (int run = 0; run < 200; ++run) {
        const std::int32_t length = std::uniform_int_distribution<std::int32_t>(1, 40000)(random);
        EditList list(kThree, length);
        const Records start = list.records();
        std::vector<Edit> steps;
        auto any_time = [&] {
            return std::uniform_int_distribution<std::int32_t>(-100, length + 100)(random);
        };
        for (int k = 0; k < 60; ++k) {
            const std::size_t i = list.size() == 0 ? 0 : random() % (list.size() + 1);
            const Edge edge = random() % 2 ? Edge::Start : Edge::End;
            // Adding weighs twice.
            const std::function<std::optional<Edit>()> operations[] = {
                [&] { return list.move_edge(i, edge, any_time()); },
                [&] { return list.nudge(i, edge, random() % 2 ? 10 : -1); },
                [&] { return list.add(any_time(), any_time()); },
                [&] { return list.add(any_time(), any_time()); },
                [&] { return list.remove(i); },
                [&] { return list.merge(i); },
                [&] { return list.split(i, any_time()); },
            };
            const std::optional<Edit> e = operations[random() % 7]();
            ASSERT_TRUE(valid(list.records(), list.limit_ms())) << run << "/" << k;
            if (e) steps.push_back(*e);
        }
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) list.revert(*it);
        EXPECT_EQ(list.records(), start) << run;
    }
}

}  // namespace
}  // namespace veltrane::preview
