// COM plumbing shared by every class of the shell extension: a counted
// smart pointer, a reference-counted base whose QueryInterface answers from
// a table, and the guard that turns exceptions into HRESULTs at every entry
// point.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlwapi.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <utility>

namespace vz::com {

// Objects alive in the module; DllCanUnloadNow may consult it.
std::atomic<long>& ObjectCount();

// A failure that carries its own HRESULT across the C++ code; the guard
// returns that code.
struct ComError : std::runtime_error {
  explicit ComError(HRESULT code, const char* what = "COM error") : std::runtime_error(what), hr(code) {}
  HRESULT hr;
};
inline void Check(HRESULT hr) {
  if (FAILED(hr)) throw ComError(hr);
}

// Runs an interface method's body: an OLE error becomes its own code, any
// other error E_UNEXPECTED, out of memory E_OUTOFMEMORY.
template <class F>
HRESULT Guard(F&& body) noexcept {
  try {
    return body();
  } catch (const ComError& e) {
    return e.hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// The same for an exported function that answers with something other than
// an HRESULT: any error yields `failed`.
template <class R, class F>
R GuardOr(R failed, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failed;
  }
}

// OLE on this thread for as long as the scope lives (drag and drop need it,
// not just COM); the count is given back only when this scope raised it.
class OleScope {
 public:
  OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleScope() {
    if (ok_) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_;
};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  explicit ComPtr(T* p, bool addRef = true) : p_(p) {
    if (p_ && addRef) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~ComPtr() { Reset(); }
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // For out-parameters: releases what was held.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* Detach() { return std::exchange(p_, nullptr); }
  // Takes over a reference the caller already owns.
  static ComPtr Attach(T* p) { return ComPtr(p, false); }
  template <class U>
  HRESULT As(ComPtr<U>& out) const {
    return p_ ? p_->QueryInterface(__uuidof(U), out.PutVoid()) : E_POINTER;
  }

 private:
  T* p_ = nullptr;
};

// Base of every COM class: plain reference count, QueryInterface from the
// derived class's QITAB (returned by its static QiTable()).
template <class Derived, class... Interfaces>
class Object : public Interfaces... {
 public:
  Object() { ++ObjectCount(); }
  virtual ~Object() { --ObjectCount(); }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    return QISearch(static_cast<Derived*>(this), Derived::QiTable(), riid, ppv);
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  IFACEMETHODIMP_(ULONG) Release() override {
    long n = --refs_;
    if (n == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(n);
  }

  // Creates an object and hands out the interface asked for.
  template <class... Args>
  static HRESULT CreateInstance(REFIID riid, void** ppv, Args&&... args) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return Guard([&] {
      auto* obj = new Derived(std::forward<Args>(args)...);
      obj->AddRef();
      HRESULT hr = obj->QueryInterface(riid, ppv);
      obj->Release();
      return hr;
    });
  }

 private:
  std::atomic<long> refs_{0};
};

}  // namespace vz::com
