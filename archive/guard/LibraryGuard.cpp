#include "LibraryGuard.h"

#include <cstring>

#ifdef _WIN32
#include <setjmp.h>
#include <windows.h>

#include "archive/bzip2arc.h"
#else
#include "archive/core/Error.h"
#endif

namespace bzip2arc {

namespace {

void CopyMessage(LibraryFailure& failure, const char* text, std::size_t length) {
  if (length >= sizeof failure.Message) length = sizeof failure.Message - 1;
  std::memcpy(failure.Message, text, length);
  failure.Message[length] = '\0';
}

}  // namespace

#ifdef _WIN32

namespace {

// An SEH registration record (Next, Handler) followed by our own state; the
// handler finds the state through the record's address.
struct GuardFrame {
  GuardFrame* Next;
  void* Handler;
  jmp_buf Resume;
  LibraryFailure* Failure;
};

void Describe(const EXCEPTION_RECORD& record, LibraryFailure& failure) {
  failure.Code = record.ExceptionCode;
  if (record.ExceptionCode == BZIP2ARC_EXCEPTION_CODE && record.NumberParameters >= 2 &&
      record.ExceptionInformation[0] != 0) {
    CopyMessage(failure, reinterpret_cast<const char*>(record.ExceptionInformation[0]),
                static_cast<std::size_t>(record.ExceptionInformation[1]));
    return;
  }
  static const char kHex[] = "0123456789ABCDEF";
  char text[] = "Structured exception 0x00000000";
  for (int i = 0; i < 8; ++i) text[sizeof text - 2 - i] = kHex[(record.ExceptionCode >> (4 * i)) & 0xF];
  CopyMessage(failure, text, sizeof text - 1);
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher, CONTEXT*, void*) {
  if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) return ExceptionContinueSearch;
  auto* frame = static_cast<GuardFrame*>(establisher);
  Describe(*record, *frame->Failure);
  // msvcrt's longjmp unwinds the SEH chain back to where setjmp stood.
  longjmp(frame->Resume, 1);
}

GuardFrame* CurrentRegistration() {
  GuardFrame* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetRegistration(GuardFrame* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

}  // namespace

bool CallLibrary(void (*call)(void* context), void* context, LibraryFailure& failure) {
  volatile GuardFrame frame;
  GuardFrame* const outer = CurrentRegistration();
  frame.Failure = &failure;
  if (setjmp(const_cast<GuardFrame&>(frame).Resume) != 0) {
    SetRegistration(outer);
    return false;
  }
  frame.Next = outer;
  frame.Handler = reinterpret_cast<void*>(&GuardHandler);
  SetRegistration(const_cast<GuardFrame*>(&frame));
  call(context);
  SetRegistration(outer);
  return true;
}

#else

bool CallLibrary(void (*call)(void* context), void* context, LibraryFailure& failure) {
  try {
    call(context);
    return true;
  } catch (const std::exception& error) {
    failure.Code = 0;
    CopyMessage(failure, error.what(), std::strlen(error.what()));
  }
  return false;
}

#endif

}  // namespace bzip2arc
