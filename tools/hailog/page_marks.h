// What the page draws, gathered from events in time order and kept small
// whatever the volume: events of one lane that fall into the same bucket of
// time (a minute at first) become one mark with a count and the first
// lines; bars of a lane closer than a bucket become one. When there would
// be too many marks, the buckets double and what is held is merged again.
#ifndef HAILOG_PAGE_MARKS_H
#define HAILOG_PAGE_MARKS_H

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "summary.h"

namespace hailog {

class PageMarks {
public:
    explicit PageMarks(Seconds from);
    void Add(const Event& event);
    // {"bucket", "lanes", "styles", "marks": [[lane, style, time, count, tip]],
    //  "bars": [[lane, style, time, end, count, tip, ended]], "tips": [text]}
    nlohmann::ordered_json ToJson() const;

private:
    struct Mark {
        int lane = 0, style = 0;
        Seconds time = 0, end = 0; // bars: the end of the last one merged
        long count = 0;
        int tip = -1;              // index into tips_, -1: none kept
        std::string ended;         // runs: how the last one merged ended
    };
    using Key = std::tuple<int, int, Seconds>; // lane, style, bucket

    void AddMark(int lane, int style, Seconds time, const Event& event);
    void AddBar(int lane, int style, Seconds time, Seconds end, const Event& event);
    int Tip(const Event& event);
    void AddToTip(int tip, const Event& event);
    void CoarsenIfFull();

    const Seconds from_;
    Seconds bucket_;
    std::map<Key, Mark> marks_;
    std::vector<Mark> bars_;
    std::map<std::pair<int, int>, size_t> lastBar_; // lane and style: its latest bar
    std::vector<std::string> tips_;
    size_t tipBytes_ = 0;
};

} // namespace hailog

#endif
