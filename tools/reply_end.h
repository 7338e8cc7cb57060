// Where a reply ends: what a judge of one expected reply says of the bytes
// received so far.
#pragma once

namespace ortiva {

enum class ReplyEnd {
    Incomplete,  // not all there yet: more is expected
    Complete,    // the whole reply is there: nothing more belongs to it
    Unjudged,    // the bytes cannot be judged: only the line's silence ends them
};

}  // namespace ortiva
