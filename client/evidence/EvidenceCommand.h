#pragma once

#include <QStringList>

class QTextStream;

// The console's commands that need neither a window nor the network, for whoever the files
// were handed to: `--verify-export MANIFEST [--key PUBKEY.pem]` and `--export-key`.
class EvidenceCommand
{
public:
    // Whether `args` (without the program's name) ask for one of these commands.
    static bool handles(const QStringList &args);
    // Runs it: the verifier's exit status, 0 for the key printed, 2 for words it cannot use.
    static int run(const QStringList &args, QTextStream &out, QTextStream &err);
};
