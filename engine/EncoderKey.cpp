#include "engine/EncoderKey.h"

#include "platform/SettingsFile.h"

int EncoderKey::dialogValue(const SettingsFile& settings) const {
    return settings.ReadInteger(section(), name(), dialogDefault_);
}

int EncoderKey::encoderValue(const SettingsFile& settings) const {
    return settings.ReadInteger(section(), name(), encoderDefault_);
}

bool EncoderKey::dialogFlag(const SettingsFile& settings) const {
    return settings.ReadBool(section(), name(), dialogDefault_ != 0);
}

bool EncoderKey::encoderFlag(const SettingsFile& settings) const {
    return settings.ReadBool(section(), name(), encoderDefault_ != 0);
}

int EncoderKey::valueWithin(const SettingsFile& settings, int low, int high) const {
    const int value = encoderValue(settings);
    return value >= low && value <= high ? value : encoderDefault_;
}

bool EncoderKey::holdsDefault(const SettingsFile& settings) const {
    const int value = encoderValue(settings);
    return value == encoderDefault_ || value == dialogDefault_;
}

void EncoderKey::write(SettingsFile& settings, int value) const {
    settings.WriteInteger(section(), name(), value);
}

void EncoderKey::writeFlag(SettingsFile& settings, bool value) const {
    settings.WriteBool(section(), name(), value);
}
