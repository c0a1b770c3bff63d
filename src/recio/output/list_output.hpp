// List-directed output: laying out the items of a write statement without a
// format into records.
#pragma once

#include "recio/output/items.hpp"
#include "recio/output/record_sink.hpp"

namespace tgram::recio {

// Carries out a list-directed write statement: lays out `items` into records
// of `sink` and ends the last record.
void writeListDirected(const CapturedItems& items, RecordSink& sink);

}  // namespace tgram::recio
