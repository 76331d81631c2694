#pragma once
// The one place where veltrane-cli writes JSON. Objects keep their keys in the order they
// are written; strings are valid UTF-8 (a byte that begins no UTF-8 character becomes
// U+FFFD); numbers never follow the locale.
//
// Layout: ", " between members and elements, ": " after a key; an array begun with
// Lines puts each element on a line of its own, indented by two spaces per such array
// around it. A writer may be emptied while it writes (take()), so that a long report
// reaches its reader as it goes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

class JsonWriter {
  public:
    enum Layout { Inline, Lines };

    JsonWriter& begin_object();
    JsonWriter& end_object();
    JsonWriter& begin_array(Layout layout = Inline);
    JsonWriter& end_array();
    // The key of the next member of the object being written.
    JsonWriter& key(std::string_view k);

    JsonWriter& null();
    JsonWriter& value(bool b);
    JsonWriter& value(std::int64_t n);
    JsonWriter& value(std::uint64_t n);
    JsonWriter& value(int n) { return value(std::int64_t{n}); }
    JsonWriter& value(double x);
    JsonWriter& value(std::string_view s);
    JsonWriter& value(const std::string& s) { return value(std::string_view(s)); }
    JsonWriter& value(const char* s) { return value(std::string_view(s)); }
    // null when empty.
    template <class T>
    JsonWriter& value(const std::optional<T>& v) {
        return v ? value(*v) : null();
    }
    // A member: key(k), then value(v).
    template <class T>
    JsonWriter& member(std::string_view k, const T& v) {
        return key(k).value(v);
    }

    // The text written since the last take(); a finished document ends with a line break.
    std::string take();

  private:
    struct Open {
        bool array;
        Layout layout;
        bool empty = true;
    };
    void before_value();
    void scalar(std::string_view text);
    int lines_depth() const;

    std::string out_;
    std::vector<Open> open_;
    bool after_key_ = false;
};

// A JSON string, quoted and escaped.
std::string json_string(std::string_view s);
// A JSON number in its shortest form, with a point.
std::string json_number(double x);

}  // namespace veltrane
