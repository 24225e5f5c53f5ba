#include "LastPoll.h"

CString LastPollText(const LastPoll& poll) {
    if (poll.when.IsEmpty())
        return "Last poll: none yet";
    CString text = "Last poll: " + poll.when + ", ";
    switch (poll.outcome) {
    case PollOutcome::NewPostings:
        text += "new articles";
        break;
    case PollOutcome::NothingNew:
        text += "nothing new";
        break;
    case PollOutcome::Error:
        text += poll.reason.text.IsEmpty() ? "failed" : "failed:\r\n";
        text += poll.reason.text;
        break;
    }
    if (!poll.route.IsEmpty())
        text += "\r\n" + poll.route;
    return text;
}
