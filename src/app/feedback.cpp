#include "app/feedback.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "app/app.h"
#include "base/text.h"

namespace veltrane {

namespace {

constexpr const char* kAuthorMail = "feedback@veltrane.example";
constexpr double kAuthorSpeed = 63;

void show(App& app, const std::string& english, const std::string& german) {
    const std::string& lan = app.f().lan.caption;
    if (lan == "1") app.message(english);
    if (lan == "2") app.message(german);
}

}  // namespace

void feedback_messages(App& app) {
    app.log("Checking for Opinion flag");
    const std::string files = app.setting(kStatsSection, "002");
    if (files.empty()) return;

    if (val(files) > 10 && app.setting(kStatsSection, "010").empty()) {
        app.log("Displaying Opinion message");
        show(
            app,
            std::string("Well, you seem to like this thingy, so I would like to have your opinion. "
                        "You can mail me at ") +
                kAuthorMail +
                ", and tell me your ideas, comments, bugs, likes and dislikes. You could post at "
                "Rookhold as well. Thank you for trying it, and I hoped it helped :D",
            std::string("Hm, du scheinst dieses kleine Teil zu mogen, deswegen wurde ich gerne "
                        "deine Meinung dazu horen. Du kannst mir an ") +
                kAuthorMail +
                " mailen und deine Ideen, Kommentare, Bugmeldungen loswerden, ebenso das, was dir "
                "gef?llt und was nicht. Du k?nntest genauso gut im Rook Foum posten. Vielen Dank "
                "furs Ausprobieren, und ich hoffe, es hat geholfen :D ");
        app.set_setting(kStatsSection, "010", "1");
    }

    app.log("Checking for Speed message");
    if (val(files) > 19 && app.setting(kStatsSection, "011").empty()) {
        app.set_setting(kStatsSection, "011", "1");
        const auto kilobytes = static_cast<double>(
            std::clamp<std::int64_t>(whole(app.setting(kStatsSection, "001")), INT_MIN, INT_MAX));
        const double seconds = val(app.setting(kStatsSection, "003"));
        app.log("Spead message displayed");
        if (seconds == 0) return;  // no time recorded yet: no speed to compare
        const double speed = kilobytes / seconds;
        const std::string n = std::to_string(floor_int(speed));
        if (speed == kAuthorSpeed)
            show(app,
                 "MAN!! Our PCs are processing these wavs at the same speed :P Hehe, it's around "
                 "63KB/sec for both of us. Mail and tell me about your PC :P",
                 "Krass!! Unsere PCs verarbeiten diese WAVs mit der gleichen Geschwindigkeit :P "
                 "Hehe, sie betr?gt f?r uns beide rund 63KB/sec. Mail mir und erz?hl mir ?ber "
                 "deinen PC :P");
        if (speed < kAuthorSpeed)
            show(
                app,
                "Hi man... Took a look at you speed, and compared it with my own. Well, yours is "
                "around " +
                    n + ", and mine is 63KB/sec. Well, I love my Athlon :)",
                "HI Alter... Hab einen Blick auf deine Geschwindigkeit geworfen und sie mit meiner "
                "eigenen verglichen. Deine liegt so bei " +
                    n + " und meine bei 63KB/sec. Tja, ich liebe meinen Athlon :)");
        if (speed > kAuthorSpeed)
            show(app,
                 "Well, there must have been some mistake... I took a look at your PC's speed, and "
                 "you were processing GAPs faster than mine. THIS IS IMPOSSIBLE. My PC should be "
                 "the fastest... Well, there must have been some bugs in the code... :P Anyway, if "
                 "you wonna know, you did it at " +
                     n + "KB/sec, and I did it on 63KB/sec.",
                 "Nun, es muss da einige Fehler gegeben haben... Ich habe einen Blick auf die "
                 "Geschwindigkeit deines PCs geworfen und deiner hat GAPs schneller verarbeitet "
                 "als meiner! DAS IST UNM?GLICH! Mein PC sollte der Schnellste sein... Da muss es "
                 "wohl ein paar Fehler im Programmcode geben...:P Falls du es trotzdem wissen "
                 "willst, du hast es mit " +
                     n + "KB/sec geschafft und ich mit 63KB/sec.");
    }
}

}  // namespace veltrane
