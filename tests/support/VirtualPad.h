#pragma once

// A game controller of SDL's own making (a virtual joystick), for tests that drive the real
// SDL pad service; SDL must be running (platform::SdlGamepads::waitUntilStarted).

#include <QString>

#include <SDL.h>

class VirtualPad {
public:
    explicit VirtualPad(const char* name) {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
        desc.button_mask = (1u << desc.nbuttons) - 1;
        desc.axis_mask = (1u << desc.naxes) - 1;
        desc.name = name;
        // With a maker and product SDL builds the standard kind of GUID that mapping files
        // name, as for a real pad (without them it hashes the name into the GUID).
        desc.vendor_id = 0x1209;  // the open-source makers' shared vendor id
        desc.product_id = 0x5250;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        if (index < 0) return;
        m_joystick = SDL_JoystickOpen(index);
        if (!m_joystick) return;
        m_id = SDL_JoystickInstanceID(m_joystick);
        char guid[33];
        SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(m_joystick), guid, sizeof guid);
        m_guid = QString::fromLatin1(guid);
        // A trigger at rest is the bottom of the joystick's range.
        setAxis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MIN);
        setAxis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MIN);
    }
    ~VirtualPad() { unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool plugged() const { return m_joystick != nullptr; }
    int id() const { return m_id; }
    QString guid() const { return m_guid; }
    void setButton(SDL_GameControllerButton button, bool down) {
        SDL_JoystickSetVirtualButton(m_joystick, button, down ? 1 : 0);
    }
    void setAxis(SDL_GameControllerAxis axis, Sint16 value) {
        SDL_JoystickSetVirtualAxis(m_joystick, axis, value);
    }
    void unplug() {
        if (!m_joystick) return;
        SDL_JoystickClose(m_joystick);
        m_joystick = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == m_id) SDL_JoystickDetachVirtual(i);
    }

private:
    SDL_Joystick* m_joystick = nullptr;
    SDL_JoystickID m_id = -1;
    QString m_guid;
};
