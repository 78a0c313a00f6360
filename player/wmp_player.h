// CWMPPlayer4: the window that hosts the media player control, and the
// control's three sub-objects, each taken for one handler and released after.
#pragma once
#include "platform/window.h"

namespace nilo {

class CWMPControls : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    void play() { InvokeHelper(51, DISPATCH_METHOD, VT_EMPTY, nullptr); }
    void pause() { InvokeHelper(53, DISPATCH_METHOD, VT_EMPTY, nullptr); }
    double get_currentPosition() {
        double seconds = 0;
        InvokeHelper(56, DISPATCH_PROPERTYGET, VT_R8, &seconds);
        return seconds;
    }
    void put_currentPosition(double seconds) {
        InvokeHelper(56, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {Variant::R8(seconds)});
    }
};

class CWMPSettings : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    int32_t get_volume() {
        int32_t volume = 0;
        InvokeHelper(107, DISPATCH_PROPERTYGET, VT_I4, &volume);
        return volume;
    }
    void put_volume(int32_t volume) { InvokeHelper(107, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {Variant::I4(volume)}); }
};

class CWMPMedia : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    double get_duration() {
        double seconds = 0;
        InvokeHelper(757, DISPATCH_PROPERTYGET, VT_R8, &seconds);
        return seconds;
    }
};

class CWMPPlayer4 : public CWnd {
public:
    static const CLSID clsid;  // {6BF52A52-394A-11D3-B153-00C04F79FAA6}

    virtual BOOL Create(const std::u16string& windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    void put_URL(const std::u16string& url) { InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {Variant::Str(url)}); }
    void close() { InvokeHelper(3, DISPATCH_METHOD, VT_EMPTY, nullptr); }
    std::shared_ptr<IDispatch> get_controls() { return GetObject(4); }
    std::shared_ptr<IDispatch> get_settings() { return GetObject(5); }
    std::shared_ptr<IDispatch> get_currentMedia() { return GetObject(6); }
    // Without a control this reads 0: neither playing nor paused.
    int32_t get_playState() {
        int32_t state = 0;
        InvokeHelper(10, DISPATCH_PROPERTYGET, VT_I4, &state);
        return state;
    }
    BOOL get_fullScreen() {
        BOOL on = FALSE;
        InvokeHelper(21, DISPATCH_PROPERTYGET, VT_BOOL, &on);
        return on;
    }
    void put_fullScreen(BOOL on) { InvokeHelper(21, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {Variant::Bool(on)}); }
    void put_enableContextMenu(BOOL on) { InvokeHelper(22, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {Variant::Bool(on)}); }
    void put_uiMode(const std::u16string& mode) { InvokeHelper(23, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {Variant::Str(mode)}); }
    void put_stretchToFit(BOOL on) { InvokeHelper(24, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {Variant::Bool(on)}); }

private:
    std::shared_ptr<IDispatch> GetObject(DISPID dispid) {
        std::shared_ptr<IDispatch> object;
        InvokeHelper(dispid, DISPATCH_PROPERTYGET, VT_DISPATCH, &object);
        return object;
    }
};

}  // namespace nilo
