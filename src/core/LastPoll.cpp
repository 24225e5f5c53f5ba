#include "LastPoll.h"

CString LastPollText(const LastPoll& poll) {
    if (poll.when.IsEmpty())
        return "Last poll: none yet";
    const CString start = "Last poll: " + poll.when + ", ";
    switch (poll.outcome) {
    case PollOutcome::NewPostings:
        return start + "new articles";
    case PollOutcome::NothingNew:
        return start + "nothing new";
    case PollOutcome::Error:
        break;
    }
    if (poll.reason.text.IsEmpty())
        return start + "failed";
    return start + "failed:\r\n" + poll.reason.text;
}
