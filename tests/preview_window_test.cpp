// The preview window on the offscreen platform: opened the three ways, in step with the
// main window's model, in its language, and never touching the model, the statistics or
// the log.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QTreeView>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "app/presets.h"
#include "app/startup_values.h"
#include "fakes.h"
#include "preview/labels.h"
#include "preview/qt/preview_picture.h"
#include "preview/selection.h"
#include "preview/session.h"
#include "qt_app.h"
#include "synth.h"
#include "ui/main_window.h"
#include "ui/preview_launcher.h"
#include "ui/preview_window.h"

namespace veltrane::test {
namespace {

// The shortcut of `owner` for `keys`.
QShortcut* shortcut(QWidget* owner, const QKeySequence& keys) {
    for (QShortcut* s : owner->findChildren<QShortcut*>())
        if (s->key() == keys) return s;
    throw std::runtime_error("no shortcut " + keys.toString().toStdString());
}

class PreviewWindowTest : public AppTest {
  protected:
    PreviewWindowTest() {
        ensure_qt();
        // As the program starts: the start-up values applied twice leave the language as
        // stored (English in an empty store).
        load_form(*app);
        apply_startup_values(*app);
        main = std::make_unique<MainWindow>(*app);
        app->on_refresh = [this] { main->refresh(); };
        launcher = std::make_unique<PreviewLauncher>(*app, *main);
        main->show();
        QApplication::processEvents();
    }
    ~PreviewWindowTest() override {
        launcher.reset();
        app->on_refresh = nullptr;
    }

    // Loads a file as Load File leaves it, and lets the preview catch up.
    void load(const std::filesystem::path& wav) {
        f().CommonDialog1.FileName = wav.string();
        f().CommonDialog1.FileTitle = wav.filename().string();
        act([] {});
    }
    // Loads a file and opens the preview on it from the menu.
    PreviewWindow* open_on(const std::filesystem::path& wav) {
        load(wav);
        launcher->open();
        PreviewWindow* w = settle();
        if (w == nullptr) throw std::runtime_error("the preview did not open");
        return w;
    }
    // Lets the preview catch up, and holds that it changed nothing of the main window's
    // model while doing so.
    PreviewWindow* settle() {
        const std::string before = model_text();
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
        EXPECT_EQ(model_text(), before);
        return launcher->window();
    }
    // Runs a handler of the main window, then lets the preview catch up.
    void act(const Handler& handler) {
        dispatch(*app, handler);
        settle();
    }
    void switch_language() { act(f().Command5.on_click); }
    std::string model_text() {
        std::string text;
        for (Control* c : f().controls()) {
            text += std::string(c->name) + "=" + c->caption + (c->enabled ? "" : " off") +
                    (c->visible ? "" : " hidden");
            if (c->kind == Kind::CheckBox)
                text += " " + std::to_string(static_cast<CheckBox*>(c)->value());
            if (c->kind == Kind::Option)
                text += static_cast<OptionButton*>(c)->value() ? " set" : "";
            if (c->kind == Kind::Slider)
                text += " " + std::to_string(static_cast<Slider*>(c)->value());
            text += "\n";
        }
        return text + f().CommonDialog1.FileName + "\n" + f().hid1.caption;
    }
    std::filesystem::path speech(const std::string& name, int channels, int bits) {
        const synth::Format format{channels, bits, 8000};
        write_bytes(dir / name, synth::wav_bytes(format, synth::speech_data(format, 4, 7)));
        return dir / name;
    }
    // The statistics and the log: a look or a listen counts nothing and logs nothing.
    auto counted() { return std::pair(settings.values, log_text()); }

    std::unique_ptr<MainWindow> main;
    std::unique_ptr<PreviewLauncher> launcher;
};

// Opened with Ctrl+P, the window scans as Generate would and follows the sliders, the
// presets and Double Speed. The list and the picture show one selection: N and the list's
// arrow keys move both; a change of the settings keeps it on the silence
// most like it. All of it without touching the model, the statistics or the log.
TEST_F(PreviewWindowTest, FollowsTheSlidersAndKeepsOneSelectionWithoutTouchingTheModel) {
    const auto wav = speech("take1.wav", 1, 8);
    load(wav);
    f().lg.set_value(1);
    const auto counted_before = counted();

    emit shortcut(main.get(), QKeySequence(Qt::CTRL | Qt::Key_P))->activated();
    PreviewWindow* w = settle();
    ASSERT_TRUE(w && w->isVisible());
    const auto expect_as_scanned = [&](const preview::Settings& s) {
        const std::vector<std::uint8_t> bytes = read_bytes(wav);
        MemorySource source(bytes);
        const auto want = preview::records_of(source, generate_params(read_wav_header(source), s));
        EXPECT_EQ(w->list()->model()->rowCount(), static_cast<int>(want.size()));
        EXPECT_EQ(w->scene().now, want);
    };
    expect_as_scanned({15, 50, false});
    ASSERT_GT(w->list()->model()->rowCount(), 3);

    const auto both = [&](int row) {
        EXPECT_EQ(w->selected(), row);
        EXPECT_EQ(w->scene().selected, row);
        EXPECT_EQ(w->list()->currentIndex().row(), row);
    };
    QShortcut* n = shortcut(w, QKeySequence(Qt::Key_N));
    emit n->activated();
    both(0);
    emit n->activated();
    both(1);
    w->list()->setFocus();
    QTest::keyClick(w->list(), Qt::Key_Down);
    both(2);

    // "Save labels…": the silences as the label track; a folder in the way is named.
    EXPECT_EQ(w->save_labels_to(dir / "take1.txt"), "");
    EXPECT_EQ(read_text(dir / "take1.txt"), label_track(w->session().records()));
    std::filesystem::create_directories(dir / "taken.txt");
    EXPECT_TRUE(has(w->save_labels_to(dir / "taken.txt"), "taken.txt"));

    // A lower Sensitivity: the silence that overlaps the old one most stays selected.
    const std::vector<GapRecord> before = w->session().records();
    act([&] { f().Slider1.set_value(4); });
    expect_as_scanned({4, 50, false});
    both(preview::kept_selection(before, 2, w->session().records()));

    dispatch(*app, [&] { Option_GotFocus(*app, 2); });  // Noisy
    act([&] { f().Fast.set_value(1); });
    expect_as_scanned({kNoisy.sensitivity, kNoisy.filter, true});
    EXPECT_TRUE(w->summary()->text().contains("Sensitivity 23, Filter 75 ms, Double Speed"));

    // A look: the statistics and the log stay as they were (the window's texts: settle()).
    EXPECT_EQ(counted(), counted_before);
    EXPECT_FALSE(std::filesystem::exists(dir / "take1.gap"));
}

// Opened by a double click on the file name box, the window speaks the main window's
// language: why nothing was found, and that there is no sound output, which disables
// playing.
TEST_F(PreviewWindowTest, SpeaksTheWindowsLanguageAndSaysWhyNothingWasFoundOrPlays) {
    sound.no_output = true;
    // A silence that runs to the end is never recorded.
    std::vector<std::uint8_t> data(8000, 128);
    for (std::size_t i = 0; i < 2000; ++i) data[i] = static_cast<std::uint8_t>(i % 2 ? 0 : 255);
    write_bytes(dir / "quiet.wav", synth::wav_bytes({1, 8, 8000}, data));
    load(dir / "quiet.wav");
    dispatch(*app, f().Command5.on_click);  // German

    QWidget* name_box = main->widget("Text1");
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(5, 5),
                      name_box->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(name_box, &twice);
    PreviewWindow* w = settle();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->why()->isVisibleTo(w));
    EXPECT_TRUE(w->why()->text().startsWith("• Kleinste Sensitivität, die bei Filter 50 ms"));
    EXPECT_EQ(w->sound_line()->text().toStdString(), "Keine Tonausgabe: kein Audiogerät gefunden");
    switch_language();  // English again
    EXPECT_EQ(w->windowTitle().toStdString(), "Preview – quiet.wav");
    EXPECT_FALSE(w->play_button()->isEnabled());
    w->play_pause();
    w->play_around();
    EXPECT_EQ(sound.output->starts, 0);
}

// Which file the window shows: none loaded, one that cannot be read, then one that can;
// the next one, before it is read, shows nothing of the last. A GAP file written
// meanwhile, by another program (seen within a second, without a poll) or by Generate
// (seen at the next refresh of the model), is shown with what differs.
// From the cursor a click puts: the bytes heard are the file's, the playhead is where they
// end, Space pauses and plays on, Esc stops, and the playhead goes when the stretch is
// played out. Closing the window stops it. Listening counts and logs nothing.
TEST_F(PreviewWindowTest, PlaysFromTheCursorAndMovesThePlayheadWithTheBytesHeard) {
    const auto wav = speech("take1.wav", 2, 16);
    PreviewWindow* w = open_on(wav);
    FakePlayback* out = sound.output;
    ASSERT_TRUE(w->can_play() && out != nullptr);
    const double per_ms = w->session().bytes_per_ms();
    const auto before = counted();
    const QRect wave = picture_geometry(w->picture()->size(), false).wave;
    const int x = static_cast<int>(wave.left() + wave.width() * 0.3);
    QTest::mouseClick(w->picture(), Qt::LeftButton, {}, QPoint(x, wave.center().y()));
    ASSERT_TRUE(w->cursor_ms().has_value());
    w->play_pause();
    ASSERT_EQ(out->state(), Playback::State::Playing);
    EXPECT_NEAR(out->from / per_ms, *w->cursor_ms(), 1000.0 * 4 / (8000 * 4) + 1e-6);
    out->pull(4000);
    ASSERT_EQ(out->heard.size(), 4000u);
    EXPECT_TRUE(
        std::equal(out->heard.begin(), out->heard.end(), read_bytes(wav).begin() + out->from));
    w->follow_playback();
    EXPECT_DOUBLE_EQ(w->playhead_ms().value_or(-1), (out->from + 4000) / per_ms);

    QShortcut* space = shortcut(w, QKeySequence(Qt::Key_Space));
    emit space->activated();
    EXPECT_EQ(out->state(), Playback::State::Paused);
    emit space->activated();
    EXPECT_EQ(out->state(), Playback::State::Playing);
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_EQ(out->state(), Playback::State::Stopped);
    EXPECT_FALSE(w->playhead_ms().has_value());
    EXPECT_TRUE(w->isVisible()) << "only Esc with nothing playing closes";

    w->play_pause();
    out->pull(1LL << 40);
    w->follow_playback();
    EXPECT_FALSE(w->playhead_ms().has_value()) << "played out";
    w->play_pause();
    w->close();
    EXPECT_EQ(out->state(), Playback::State::Stopped);
    EXPECT_EQ(counted(), before);
}

TEST_F(PreviewWindowTest, ShowsOnlyTheFileBeingReadAndTheGapFileBesideIt) {
    launcher->open();
    PreviewWindow* w = settle();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->session().is_open());
    std::filesystem::create_directories(dir / "one.wav");
    load(dir / "one.wav");
    EXPECT_TRUE(has(w->summary()->text().toStdString(), "is a directory"));
    // Loaded once it can be read.
    std::filesystem::remove(dir / "one.wav");
    speech("one.wav", 1, 16);
    act([] {});
    EXPECT_TRUE(w->session().is_open());
    ASSERT_GT(w->list()->model()->rowCount(), 0);

    const auto two = speech("two.wav", 2, 8);
    f().CommonDialog1.FileName = two.string();
    w->sync_once_shown();
    EXPECT_EQ(w->list()->model()->rowCount(), 0);
    EXPECT_TRUE(w->scene().now.empty());
    EXPECT_FALSE(w->save_button()->isEnabled());
    EXPECT_TRUE(has(w->windowTitle().toStdString(), "two.wav"));
    settle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->session().is_open(); }, 2000));
    ASSERT_EQ(w->session().path(), two);

    ASSERT_FALSE(w->session().disk().exists);
    const auto records = w->session().records();
    ASSERT_GT(records.size(), 2u);
    std::vector<GapRecord> disk(records.begin() + 1, records.end());
    disk.back().end_ms += 7;
    write_gap_file(gap_path(two.string()), disk);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->session().disk().exists; }, 1000))
        << "not seen within a second";
    EXPECT_EQ(w->session().disk().records, disk);
    // Written again, as Generate writes it: seen at the next refresh of the model.
    const std::vector<GapRecord> again{{10, 20}};
    write_gap_file(gap_path(two.string()), again);
    act([] {});
    EXPECT_EQ(w->session().disk().records, again);
    EXPECT_EQ(w->session().comparison().removed,
              preview::compare(w->session().records(), again).removed);
}

namespace {

// Answers the preview's questions about edits in the user's place and keeps what it
// was asked and told.
class ScriptedAsker : public EditAsker {
  public:
    Unsaved answer = Unsaved::Cancel;
    StartFrom start = StartFrom::GapFile;
    QString labels;
    int questions = 0;
    std::vector<std::string> warnings;

    Unsaved unsaved(QWidget*, preview::Language, const QString&) override {
        ++questions;
        return answer;
    }
    StartFrom start_from(QWidget*, preview::Language) override { return start; }
    void warn(QWidget*, const QString& message) override {
        warnings.push_back(message.toStdString());
    }
    QString labels_file(QWidget*, preview::Language, const QString&) override { return labels; }
};

}  // namespace

// Editing by hand: a recording with a GAP file of three silences, edited from the file.
class PreviewEditTest : public PreviewWindowTest {
  protected:
    const std::vector<GapRecord> start{{500, 800}, {1200, 1500}, {2000, 2300}};

    PreviewWindow* open_editing() {
        wav = speech("take1.wav", 1, 16);
        return edit_afresh();
    }
    // The recording with its GAP file as at the start, edited from that file in a view of
    // its first 3000 ms.
    PreviewWindow* edit_afresh() {
        write_gap_file(gap_path(wav.string()), start);
        PreviewWindow* w = open_on(wav);
        w->set_asker(&asker);
        w->show_range(0, 3000);
        QTest::keyClick(w->picture(), Qt::Key_E);  // from the GAP file, as the asker says
        EXPECT_TRUE(w->editing());
        EXPECT_EQ(w->records_shown(), start);
        return w;
    }
    // Selects a silence and presses a key in the picture.
    void press(PreviewWindow* w, int row, Qt::Key k) {
        w->select(row);
        QTest::keyClick(w->picture(), k);
    }
    QRect wave(PreviewWindow* w) { return picture_geometry(w->picture()->size(), false).wave; }
    QPoint at_ms(PreviewWindow* w, double ms) {
        return {static_cast<int>(std::lround(x_at(w->scene(), wave(w), ms))), wave(w).center().y()};
    }
    void drag(PreviewWindow* w, double from_ms, QPoint to, Qt::KeyboardModifiers held = {}) {
        QWidget* p = w->picture();
        QTest::mousePress(p, Qt::LeftButton, held, at_ms(w, from_ms));
        // Several moves on the way: one undo step all the same.
        const QPoint from = at_ms(w, from_ms);
        for (int i = 1; i <= 4; ++i) QTest::mouseMove(p, from + (to - from) * i / 4);
        QTest::mouseRelease(p, Qt::LeftButton, held, to);
    }

    std::filesystem::path wav;
    ScriptedAsker asker;
};

// Every operation by mouse or key, the recording's end as this window gives it (the other
// rules of the edges: EditList's own tests), and its undo and redo as one step each.
TEST_F(PreviewEditTest, EachOperationIsOneStepThatUndoesAndRedoes) {
    PreviewWindow* w = open_editing();
    const std::int32_t limit =
        preview::recording_ms(w->session().file_size(), w->session().header());
    ASSERT_GT(limit, 3000);
    QWidget* p = w->picture();
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(p, k, m); };
    // Where a drag to `ms` lands in the view from 0 to 3000 ms every case starts in.
    const auto snap = [&](double ms) {
        return static_cast<std::int32_t>(std::lround(ms_at(w->scene(), wave(w), at_ms(w, ms).x())));
    };
    // What each does, and the silences it leaves.
    const std::vector<std::tuple<const char*, std::function<void()>, std::vector<GapRecord>>> cases{
        {"drag the last end past the recording's end: it stops there",
         [&] {
             w->show_range(1500, limit + 1000.0);
             drag(w, 2300, QPoint(wave(w).right() + 50, 0));
         },
         {{500, 800}, {1200, 1500}, {2000, limit}}},
        {"Ctrl+drag over an empty stretch adds a silence",
         [&] { drag(w, 2500, at_ms(w, 2700), Qt::ControlModifier); },
         {{500, 800}, {1200, 1500}, {2000, 2300}, {snap(2500), snap(2700)}}},
        {"Delete removes the selected silence",
         [&] { press(w, 1, Qt::Key_Delete); },
         {{500, 800}, {2000, 2300}}},
        {"M merges with the next", [&] { press(w, 0, Qt::Key_M); }, {{500, 1500}, {2000, 2300}}},
        {"S splits at the cursor",
         [&] {
             QTest::mouseClick(p, Qt::LeftButton, {}, at_ms(w, 1350));
             key(Qt::Key_S);
         },
         {{500, 800}, {1200, snap(1350)}, {snap(1350), 1500}, {2000, 2300}}},
        {"the arrow key moves the grabbed edge by 1 ms",
         [&] {
             drag(w, 1500, at_ms(w, 1500));
             key(Qt::Key_Right);
         },
         {{500, 800}, {1200, 1501}, {2000, 2300}}},
    };
    for (const auto& [name, act, want] : cases) {
        SCOPED_TRACE(name);
        // Afresh from the GAP file.
        asker.answer = Unsaved::Discard;
        w->back_to_detection();
        w = edit_afresh();
        act();
        EXPECT_EQ(w->records_shown(), want);
        EXPECT_EQ(w->scene().now, want);
        EXPECT_EQ(w->edits()->stack().count(), 1);
        EXPECT_TRUE(w->edits()->unsaved());
        // The silences changed or made are marked.
        const auto made =
            std::ranges::count_if(want, [&](GapRecord r) { return !std::ranges::count(start, r); });
        EXPECT_EQ(std::ranges::count(w->scene().now_edited, true), made);
        key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(w->records_shown(), start);
        EXPECT_EQ(w->scene().now, start);
        EXPECT_FALSE(w->edits()->unsaved());
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(w->records_shown(), want);
    }
}

// Playing around the selected silence plays the edited one, through the preview's own
// output. Saving writes the GAP file as
// Generate would and counts and logs nothing; a read-only GAP file and the recording
// itself are never written over.
TEST_F(PreviewEditTest, PlaysAndSavesAsGenerateWouldAndKeepsWhatItMayNotWrite) {
    PreviewWindow* w = open_editing();
    const auto counted_before = counted();
    FakePlayback* out = sound.output;
    ASSERT_NE(out, nullptr);
    w->select(1);
    w->nudge(-100);  // the start, 1100
    ASSERT_EQ(w->records_shown()[1], (GapRecord{1100, 1500}));
    QTest::keyClick(w->picture(), Qt::Key_P);
    EXPECT_NEAR(out->from / w->session().bytes_per_ms(), 100, 1);
    EXPECT_NEAR(out->to / w->session().bytes_per_ms(), 2500, 1);
    EXPECT_EQ(out->format, (PcmFormat{8000, 1, 2}));
    EXPECT_TRUE(sound.played.empty());  // nothing through the main window's sound

    press(w, 2, Qt::Key_Delete);
    QTest::keyClick(w->picture(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(asker.warnings.empty());
    EXPECT_EQ(read_gap_file(gap_path(wav.string())),
              (std::vector<GapRecord>{{500, 800}, {1100, 1500}}));
    EXPECT_FALSE(w->edits()->unsaved());
    EXPECT_EQ(w->disk_line()->text().toStdString(), "GAP file: 2 silences, exactly as saved.");

    // A GAP file that is a link to the recording: the recording stays as it was.
    const auto gap = gap_path(wav.string());
    const std::vector<std::uint8_t> recording = read_bytes(wav);
    std::filesystem::remove(gap);
    std::filesystem::create_symlink(wav.filename(), gap);
    press(w, 0, Qt::Key_M);
    EXPECT_FALSE(w->save_edits());
    ASSERT_EQ(asker.warnings.size(), 1u);
    EXPECT_TRUE(has(asker.warnings[0], "not saved")) << asker.warnings[0];
    EXPECT_EQ(read_bytes(wav), recording);
    EXPECT_TRUE(w->edits()->unsaved());

    // A read-only GAP file is kept, with a message (root may write it all the same).
    std::filesystem::remove(gap);
    write_gap_file(gap, start);
    std::filesystem::permissions(gap, std::filesystem::perms::owner_read);
    if (::geteuid() != 0) {
        EXPECT_FALSE(w->save_edits());
        ASSERT_EQ(asker.warnings.size(), 2u);
        EXPECT_EQ(read_gap_file(gap), start);
        EXPECT_TRUE(w->edits()->unsaved());
    }
    EXPECT_EQ(counted(), counted_before);
}

// Edits not saved are never lost without asking: closing, another file, the other
// language and "Back to detection" each ask, and each answer does what it says.
TEST_F(PreviewEditTest, AsksBeforeUnsavedEditsAreLost) {
    PreviewWindow* w = open_editing();
    const auto other = speech("take2.wav", 1, 16);
    // Each way, and whether the edits go once answered Save or Discard.
    const std::vector<std::tuple<const char*, std::function<void()>, bool>> ways{
        {"close", [&] { w->close(); }, true},
        {"another file", [&] { load(other); }, true},
        {"language", [&] { switch_language(); }, false},
        {"back to detection", [&] { w->back_button()->click(); }, true},
    };
    for (const auto& [name, act, leaves] : ways)
        for (const Unsaved answer : {Unsaved::Save, Unsaved::Discard, Unsaved::Cancel}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(int(answer)));
            // Back to the first file in English, editing, with one edit not saved.
            asker.answer = Unsaved::Discard;
            if (w->editing()) w->back_to_detection();
            if (f().lan.caption != "1") dispatch(*app, f().Command5.on_click);
            w = edit_afresh();
            press(w, 0, Qt::Key_Delete);
            ASSERT_TRUE(w->edits()->unsaved());

            asker.questions = 0;
            asker.answer = answer;
            act();
            EXPECT_EQ(asker.questions, 1);
            const bool saved = read_gap_file(gap_path(wav.string())) ==
                               std::vector<GapRecord>(start.begin() + 1, start.end());
            EXPECT_EQ(saved, answer == Unsaved::Save);
            if (answer == Unsaved::Cancel) {
                EXPECT_TRUE(w->isVisible());
                ASSERT_TRUE(w->editing());
                EXPECT_TRUE(w->edits()->unsaved());
                EXPECT_EQ(w->session().path(), wav);  // still the edited recording
            } else {
                EXPECT_EQ(w->editing(), !leaves && answer == Unsaved::Save);
            }
            // Nothing more is asked while nothing more changes.
            settle();
            EXPECT_EQ(asker.questions, 1);
        }
    // Staying on the edited recording while another is loaded: once saved, the other shows.
    ASSERT_TRUE(w->editing());
    press(w, 0, Qt::Key_Delete);
    load(other);
    ASSERT_EQ(w->session().path(), wav);
    QTest::keyClick(w->picture(), Qt::Key_S, Qt::ControlModifier);
    settle();
    EXPECT_EQ(w->session().path(), other);
    EXPECT_FALSE(w->editing());
}

// "Open labels…" reads what dump prints in its three forms, told by the name's ending,
// into one edit; a refusal names the file, the line and the cause and changes nothing.
TEST_F(PreviewEditTest, OpensLabelsIntoAnEditOrSaysWhichLineIsWrong) {
    PreviewWindow* w = open_editing();
    // Good ones open into an edit that undoes to the detection; a refusal starts none.
    const std::vector<std::tuple<std::string, std::string, std::string>> files{
        {"a.txt", "0.100\t0.250\tgap 1\n0.900\t1.000\tgap 2\n", ""},
        {"b.csv", "start_ms,end_ms\n100,250\n900,1000\n", ""},
        {"c.json", "[{\"start_ms\": 100, \"end_ms\": 250}, {\"start_ms\": 900, \"end_ms\": 1000}]",
         ""},
        {"g.csv", "100,99999999\n", "line 1"},  // past the end of this recording
    };
    for (const auto& [name, content, line] : files) {
        SCOPED_TRACE(name);
        asker.answer = Unsaved::Discard;
        w->back_to_detection();
        asker.warnings.clear();
        write_text(dir / name, content);
        asker.labels = QString::fromStdString((dir / name).string());
        QTest::keyClick(w->picture(), Qt::Key_O, Qt::ControlModifier);
        if (!line.empty()) {
            ASSERT_EQ(asker.warnings.size(), 1u);
            EXPECT_TRUE(asker.warnings[0].starts_with(name + ", " + line + ": "))
                << asker.warnings[0];
            EXPECT_FALSE(w->editing());
            continue;
        }
        EXPECT_TRUE(asker.warnings.empty());
        ASSERT_TRUE(w->editing());
        EXPECT_EQ(w->records_shown(), (std::vector<GapRecord>{{100, 250}, {900, 1000}}));
        QTest::keyClick(w->picture(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(w->records_shown(), w->session().records());
    }
}

}  // namespace
}  // namespace veltrane::test
