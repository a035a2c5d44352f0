// The LandXML 1.2 writer: the job as the office exchanges it (see landxml_writer.cpp for what
// goes where). LandXML has no generator in the library: the host writes it itself.
#pragma once

#include <memory>

#include "writers/writer_base.h"

namespace exportgen {

std::unique_ptr<FormatWriter> makeLandXmlWriter(const Generator& generator, const Job& job, RecordSink& sink);

}  // namespace exportgen
