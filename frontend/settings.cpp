#include "settings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace kvw {

using namespace kv;

namespace {

const char* flag(bool first) {
    return first ? "1" : "0";
}

// The text of a stored value. A value split at its commas by the store's file format
// (a hand-written "Asercom, AC / HBP" without quotes) is put together again; a value of
// another kind (a number, a point, a hand-written type tag) is not a text.
std::optional<std::string> storedText(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().toStdString();
    case QMetaType::QStringList:
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    case QMetaType::QByteArray:
        return value.toByteArray().toStdString();
    default:
        return std::nullopt;
    }
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

std::unique_ptr<QSettings> openSettingsStore() {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, name, name);
}

void writeStoredChoices(QSettings& store, const StoredChoices& c) {
    const std::array<const std::string*, 14> values{
        &c.refrigerant, &c.family, &c.voltage, &c.te,         &c.tc,
        &c.sc,          &c.sh1,    &c.sh2,     &c.conditions, &c.targetCapacity,
        &c.modelFilter, &c.freq,   &c.order,   &c.unit};
    store.beginGroup(QString::fromLatin1(kSettingsGroup));
    for (std::size_t i = 0; i < kSettingsKeys.size(); ++i)
        store.setValue(QString::fromLatin1(kSettingsKeys[i]), QString::fromStdString(*values[i]));
    store.endGroup();
    store.sync();
}

StoredChoices readStoredChoices(QSettings& store) {
    StoredChoices c;
    const std::array<std::string*, 14> targets{
        &c.refrigerant, &c.family, &c.voltage, &c.te,         &c.tc,
        &c.sc,          &c.sh1,    &c.sh2,     &c.conditions, &c.targetCapacity,
        &c.modelFilter, &c.freq,   &c.order,   &c.unit};
    store.beginGroup(QString::fromLatin1(kSettingsGroup));
    for (std::size_t i = 0; i < kSettingsKeys.size(); ++i) {
        const QString key = QString::fromLatin1(kSettingsKeys[i]);
        if (!store.contains(key))
            continue;
        if (std::optional<std::string> text = storedText(store.value(key)))
            *targets[i] = std::move(*text);
    }
    store.endGroup();
    return c;
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

} // namespace kvw
