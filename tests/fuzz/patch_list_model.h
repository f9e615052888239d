// A small model of which patch-list lines carry out a command, written from
// the line rules: enough to bound the log a list may produce.
#ifndef HAILWATCH_FUZZ_PATCH_LIST_MODEL_H
#define HAILWATCH_FUZZ_PATCH_LIST_MODEL_H

#include <cstddef>
#include <string>

namespace fuzzmodel {

struct ListForecast {
    // Lines sure to carry out a command, each of which logs at least once.
    size_t commands;
    // Whether every line is one the model is sure of; if so, a list without
    // commands logs nothing.
    bool complete;
};

// `fileBytes` is the patch list as stored; `pass` as SearchPatchListFiles
// takes it (1: the second pass).
ListForecast ForecastList(const std::string& fileBytes, int pass);

} // namespace fuzzmodel

#endif
