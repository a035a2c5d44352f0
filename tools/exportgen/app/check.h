// exportgen check, and the check of a whole job before a conversion to a destination that
// cannot be taken back: every error of the job with its line, column and JSON path.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "app/input.h"

namespace exportgen::app {

/// exportgen check: every problem of the job `input` (with the known points of `points`, when
/// given) on its line, how many were not shown, and a count, on `err`. The exit status: kExitOk
/// when there is no error (warnings alone pass), kExitJson when a line of a raw file or a point
/// list cannot be read, else kExitJob.
int reportCheck(const JobSource& input, const JobSource* points, std::ostream& err);

/// Before a conversion to a destination that cannot be replaced: when the job has errors, all
/// of them but the last go to `err` and the last is thrown with the count of those not shown
/// (HostError kExitJson when a line of a raw file or a point list cannot be read, else kExitJob).
void checkBeforeWriting(const JobSource& input, const JobSource* points, std::ostream& err);

}  // namespace exportgen::app
