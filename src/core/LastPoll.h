#pragma once
// The end of the last poll as the About box tells it: when, how, and why it failed.
#include "CString.h"
#include "PollResult.h"

struct LastPoll {
    CString when; // local date and time; empty while no poll has ended
    PollOutcome outcome = PollOutcome::NothingNew;
    FailureReason reason; // set when outcome is Error
    CString route;        // the route, when Windows' proxy settings chose it
};

// One to three lines (CR LF between them) for a multi-line text control.
CString LastPollText(const LastPoll& poll);
