#include "kv/settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kv {

namespace {

const char* flag(bool first) {
    return first ? "1" : "0";
}

} // namespace

StoredChoices storedFromControls(const ControlState& state, const NumberFormat& format) {
    StoredChoices out;
    out.refrigerant = state.refrigerant;
    out.family = state.family;
    out.voltage = state.voltage;

    const ConditionValues si = toEngineUnits(readConditions(state.conditions, format), state.units);
    out.te = numberText(si.te, format);
    out.tc = numberText(si.tc, format);
    out.sc = numberText(si.sc, format);
    out.sh1 = numberText(si.sh1, format);
    out.sh2 = numberText(si.sh2, format);

    out.conditions = state.conditionsItem;
    if (state.targetCapacity.empty())
        out.targetCapacity.clear();
    else if (state.units == UnitSystem::SI)
        out.targetCapacity = state.targetCapacity;
    else
        out.targetCapacity =
            numberText(btuhToWatts(GetDoubleField(state.targetCapacity, format)), format);
    out.modelFilter = state.modelFilter;

    out.freq = flag(state.freq50);
    out.order = flag(state.orderByName);
    out.unit = flag(state.units == UnitSystem::SI);
    return out;
}

std::string settingsStorePath() {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QFile::encodeName(folder + QLatin1Char('/') + name + QLatin1Char('/') + name +
                             QStringLiteral(".conf"))
        .toStdString();
}

bool selectsFirstOption(std::string_view flag) {
    return flag == "1";
}

std::optional<std::string> restoredConditionText(std::string_view stored,
                                                 const NumberFormat& format) {
    if (!format.group.empty() && stored.find(format.group) != std::string_view::npos)
        return std::nullopt;
    const std::optional<double> value = parseNumber(stored, format);
    if (!value)
        return std::nullopt;
    std::string text = numberText(roundHalfEven(*value, 2), format);
    if (text.empty())
        return std::nullopt;
    return text;
}

} // namespace kv
