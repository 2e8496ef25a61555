// libFuzzer target: any text through the address template expander. Beyond not crashing or
// hanging, the result must be no longer than the template and free of variable references.
#include "UrlTemplate.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstddef>
#include <cstdint>

namespace {
void discard(QtMsgType, const QMessageLogContext &, const QString &) {}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(discard);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QRegularExpression reference(QStringLiteral("\\{[a-zA-Z0-9_]+\\}"));
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QString result = UrlTemplate::expand(text);
    if (result.size() > text.size() || result.contains(reference))
        __builtin_trap();
    return 0;
}
