#include "platform/pdf/RendererLimits.h"

namespace dravelo {
namespace {

const QString addressSpaceOption = QStringLiteral("--address-space-mib");
const QString cpuOption = QStringLiteral("--cpu-seconds");
const QString writeCpuOption = QStringLiteral("--write-cpu-seconds");

} // namespace

int RendererLimits::cpuSecondsFor(RendererRequest::Kind kind) const {
    return kind == RendererRequest::Kind::WriteUnencrypted ? writeCpuSeconds : cpuSeconds;
}

std::chrono::milliseconds RendererLimits::deadlineFor(RendererRequest::Kind kind) const {
    return std::chrono::seconds(2 * cpuSecondsFor(kind) + 2);
}

QStringList RendererLimits::arguments() const {
    return {addressSpaceOption, QString::number(addressSpaceMiB),
            cpuOption,          QString::number(cpuSeconds),
            writeCpuOption,     QString::number(writeCpuSeconds)};
}

std::optional<RendererLimits> RendererLimits::fromArguments(const QStringList& arguments) {
    RendererLimits limits;
    if (arguments.size() % 2 != 0) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < arguments.size(); i += 2) {
        bool number = false;
        const int value = arguments[i + 1].toInt(&number);
        if (!number || value < 1) {
            return std::nullopt;
        }
        if (arguments[i] == addressSpaceOption) {
            limits.addressSpaceMiB = value;
        } else if (arguments[i] == cpuOption) {
            limits.cpuSeconds = value;
        } else if (arguments[i] == writeCpuOption) {
            limits.writeCpuSeconds = value;
        } else {
            return std::nullopt;
        }
    }
    return limits;
}

} // namespace dravelo
