// Thin RAII wrappers for the COM pieces the control host uses: interface
// pointers, VARIANT results, the thread's OLE initialisation, and the error
// that a failed COM call raises. Nothing here shows anything to the user.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <exception>
#include <utility>

#include "system/DeferredImports.h"

// `what` is a string literal: the error keeps the pointer (std::runtime_error
// would bring the C++ library's second string implementation into the image).
class ComError : public std::exception {
 public:
  ComError(const char* what, HRESULT hr) : what_(what), hr_(hr) {}
  const char* what() const noexcept override;
  HRESULT hr() const noexcept { return hr_; }

 private:
  const char* what_;
  HRESULT hr_;
};

// Raises ComError when `hr` is a failure code.
void CheckHr(HRESULT hr, const char* what);

// Owns one reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a new reference of `p` (nullptr allowed).
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // For out-parameters: releases what is held, then receives a new reference.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  // Hands the reference to the caller (for out-parameters of our own objects).
  T* detach() { return std::exchange(p_, nullptr); }

  // Another interface of the same object; empty when it has none.
  template <typename U>
  ComPtr<U> query(REFIID iid) const {
    ComPtr<U> other;
    if (p_) p_->QueryInterface(iid, other.putVoid());
    return other;
  }

 private:
  T* p_ = nullptr;
};

// A VARIANT that is cleared when it goes.
class ComVariant {
 public:
  ComVariant() { deferred::VariantInit(&v_); }
  ~ComVariant() { deferred::VariantClear(&v_); }
  ComVariant(const ComVariant&) = delete;
  ComVariant& operator=(const ComVariant&) = delete;

  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }
  const VARIANT* operator->() const { return &v_; }

 private:
  VARIANT v_;
};

// Keeps OLE initialised on this thread while it lives (calls are counted by
// OLE, so nested sessions are fine).
class OleSession {
 public:
  OleSession() : ok_(SUCCEEDED(deferred::OleInitialize(nullptr))) {}
  ~OleSession() {
    if (ok_) deferred::OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

 private:
  bool ok_;
};
