#ifndef SENDOPTIONS_H
#define SENDOPTIONS_H

#include <QString>
#include <QStringList>

// The command line of zevr3g-send.
struct SendOptions {
    // Exit status: 0 only when every command went out and every unit was recorded.
    enum Exit { Sent = 0, SendFailed = 1, Usage = 2, BadProfile = 3, NoDevice = 4, Interrupted = 5, NotRecorded = 6 };
    enum Tab { Station = 1, Clock = 2, Meter = 4, AllTabs = Station | Clock | Meter };

    QString profile;
    int tabs = 0;
    QString port; // empty: as the settings file says
    bool autoSearch = false;
    QString settings; // empty: "settings.ini" in the working folder, when there is one
    bool now = false; // the workstation's clock instead of the profile's time
    bool json = false;
    bool wait = false; // a depot's run: unit after unit on one line
    QString record;    // one JSON line per unit appended here
    int units = 0;     // with --wait: stop after this many units; 0 runs until stopped
    int goneMs = 3000; // with --wait: how long the line must stay quiet before the next unit counts as new
    int pollMs = 300;  // with --wait: the pause between two probes of an empty line
    bool help = false;
    bool version = false;

    // `arguments` includes the program name, as QCoreApplication::arguments() gives it. On a usage error `json`
    // still tells whether the command line asked for JSON, so that the error comes in the form asked for.
    static bool parse(const QStringList &arguments, SendOptions *options, QString *error);
    static QString helpText();
};

#endif // SENDOPTIONS_H
