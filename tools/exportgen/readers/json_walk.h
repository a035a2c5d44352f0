// A set-up of a job file walked straight from simdjson's On-Demand parser into the job model: no
// tree of it is built. Each value is checked against its piece of the job schema as it is read
// (its type, its enumeration, its range, the count of an array's items, the members an object
// must have, may not have, or must have one of), and a message and its JSON path are made only
// when something is wrong.
#pragma once

#include <cstddef>
#include <memory>

#include "base/problems.h"
#include "job/builder.h"
#include "readers/json_parse.h"
#include "readers/json_schema.h"

namespace exportgen {

class SetupWalk {
public:
    /// `collect` null: the first problem is thrown (JobError at its offset, with its path). Else
    /// every problem goes to `collect`, the walk goes on past it, and a set-up with a problem is
    /// not added (its fields cannot be trusted).
    SetupWalk(JobBuilder& builder, const JsonSchema& schema, JobProblems* collect);
    ~SetupWalk();
    SetupWalk(const SetupWalk&) = delete;
    SetupWalk& operator=(const SetupWalk&) = delete;

    /// Walks the set-up at `index` of "setups" and adds it to the builder.
    void walk(JsonParse& parse, std::size_t index);

private:
    class Walk;
    struct Roles;
    JobBuilder& m_builder;
    const JsonSchema& m_schema;
    JobProblems* m_collect;
    std::unique_ptr<Roles> m_roles;
};

}  // namespace exportgen
