// The history task's first step asks the system's URL history to clear
// itself. Wine's history object can be made but answers E_NOTIMPL to every
// call, so a history object of the test's own stands in for it: registered
// for the same class in this process, it is what the cleaner's
// CoCreateInstance finds, and it counts what it is asked to do.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <urlhist.h>

#include "privacy/trace_cleaner_win.h"
#include "registry_test_support.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

using namespace testing_support;

const CLSID UrlHistoryClass = {
    0x3c374a40, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};
const IID UrlHistoryStg = {
    0x3c374a41, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};
const IID UrlHistoryStg2 = {
    0xafa0dc11, 0xc313, 0x11d0, {0x83, 0x1a, 0x00, 0xc0, 0x4f, 0xd5, 0xae, 0x38}};

class CountingHistory : public IUrlHistoryStg2 {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, UrlHistoryStg) ||
            IsEqualIID(iid, UrlHistoryStg2)) {
            *out = static_cast<IUrlHistoryStg2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR, DWORD, LPSTATURL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR, LPCOLESTR, DWORD, WINBOOL,
                                              IOleCommandTarget*, IUnknown*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClearHistory() override {
        ++clears;
        return S_OK;
    }

    ULONG references = 1;
    int clears = 0;
};

class CountingHistoryFactory : public IClassFactory {
public:
    explicit CountingHistoryFactory(CountingHistory& history) : history_(history) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return history_.QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    CountingHistory& history_;
};

TEST(UrlHistoryStep, TheHistoryTaskAsksTheSystemHistoryToClearAndReleasesIt) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    CountingHistory history;
    CountingHistoryFactory factory(history);
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(UrlHistoryClass, &factory, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);

    RegDeleteTreeA(ProductRoot, ProductKey);
    PrivacyCleaner().CleanTraces();
    EXPECT_EQ(history.clears, 0) << "history is not a chosen task";

    RegDwordValue(setting::IClear1).Set(1);
    PrivacyCleaner().CleanTraces();
    EXPECT_EQ(history.clears, 1);
    EXPECT_EQ(history.references, 1u) << "the cleaner must release what it made";

    CoRevokeClassObject(cookie);
    RegDeleteTreeA(ProductRoot, ProductKey);
    CoUninitialize();
}

}  // namespace
