// The four self-registration entry points of an in-process component. The engine serves
// no component class and registers nothing, so each answers "nothing to do".
#include <windows.h>

extern "C" {

// Nothing to register or remove: success.
HRESULT __stdcall DllRegisterServer() {
    return S_OK;
}

HRESULT __stdcall DllUnregisterServer() {
    return S_OK;
}

// No objects are handed out, so none can be alive.
HRESULT __stdcall DllCanUnloadNow() {
    return S_OK;
}

HRESULT __stdcall DllGetClassObject(REFCLSID, REFIID, LPVOID* object) {
    if (object != nullptr)
        *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // extern "C"
