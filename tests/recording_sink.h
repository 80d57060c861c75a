#pragma once

// A progress sink that records what the decoder tells it, for the decoder's tests and its fuzzer.

#include "hex_decode.h"

#include <vector>

namespace testing {

// Records every position it is told of and asks for the next one step positions on.
class RecordingSink : public hexjpg::ProgressSink {
public:
    explicit RecordingSink(qint64 step = 2)
        : m_step(step)
    {
    }
    qint64 reached(qint64 position) override
    {
        positions.push_back(position);
        return position + m_step;
    }
    std::vector<qint64> positions;

private:
    qint64 m_step;
};

} // namespace testing
