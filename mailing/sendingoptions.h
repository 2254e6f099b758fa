#pragma once

#include <QString>

// How a mailing run treats a real mail account: providers cap what an account may send and lock it for up
// to a day when a cap is hit. All off by default: the run then sends as fast as the server takes it.
struct SendingOptions {
    // At most this many messages in any 60 seconds; 0 = no limit.
    int messagesPerMinute = 0;
    // The run ends after this many sent messages; 0 = no limit.
    int messagesPerRun = 0;
    // Lines whose sent column holds a sent stamp are left out (and left as they are).
    bool skipSent = false;
    // A temporary refusal (4xx) or a connection lost before the message left waits and tries the line again.
    bool retryTemporaryFailures = false;

    bool operator==(const SendingOptions& other) const {
        return messagesPerMinute == other.messagesPerMinute && messagesPerRun == other.messagesPerRun &&
               skipSent == other.skipSent && retryTemporaryFailures == other.retryTemporaryFailures;
    }
};

// The options stored with QSettings (organisation and application "tarnel", native format:
// $XDG_CONFIG_HOME/tarnel/tarnel.conf), group "Sending". A missing, unreadable or garbled file, or a
// value that is no number (or below 0), gives the default for that option, never an error.
SendingOptions loadSendingOptions();
// Stores the options; returns false when the file could not be written.
bool saveSendingOptions(const SendingOptions& options);
// Where they are stored.
QString sendingOptionsFilePath();
