// The LandXML reader: a LandXML file (namespaces 1.0, 1.1, 1.2 and 2.0) into the job builder,
// streamed by expat in two passes, so that no tree of a file of a million observations is held
// (docs/formats/landxml.md, "Reading", says what comes back, what is skipped and why).
#pragma once

#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

/// The job that a LandXML file holds, told to `builder`. The first pass reads the units, the
/// program, the survey's header and instrument and every CgPoint as a known point, and notes
/// which set-up each observation group belongs to; the second hands each InstrumentSetup on
/// with its backsights and observations as soon as the last element that belongs to it is read.
/// Elements the job has no place for are skipped with one counted warning per name. A file that
/// is not well-formed XML or not LandXML is an error naming its line and column (status 5).
void buildLandXml(RawInput& input, JobBuilder& builder);

/// The CgPoints of a LandXML file as known points of `builder` (--points design.xml), each in
/// the file's own units; the rest of the file is passed over.
void readLandXmlPoints(RawInput& input, JobBuilder& builder);

/// True when `head` (the first bytes of a file) starts a LandXML document: its first element,
/// after an XML declaration, comments and processing instructions, is LandXML.
bool looksLikeLandXml(std::string_view head);

}  // namespace exportgen
