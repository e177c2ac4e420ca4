// Thread-safety annotations, checked by clang's -Wthread-safety (the CI's clang pass);
// empty on compilers without them (GCC, mingw-w64).
//
//   KESTOVA_CAPABILITY("lock")     on a lock class
//   KESTOVA_SCOPED_CAPABILITY      on a class that holds a lock for its lifetime
//   KESTOVA_GUARDED_BY(lock)       on data that is read and written only with `lock` held
//   KESTOVA_REQUIRES(lock)         on a function that must be called with `lock` held
//   KESTOVA_ACQUIRE(...) / KESTOVA_RELEASE(...)   on functions that take or give back a lock
//   KESTOVA_NO_THREAD_SAFETY_ANALYSIS   see below
#pragma once

#if defined(__clang__) && defined(__has_attribute)
#if __has_attribute(guarded_by)
#define KESTOVA_THREAD_ANNOTATION(x) __attribute__((x))
#endif
#endif
#ifndef KESTOVA_THREAD_ANNOTATION
#define KESTOVA_THREAD_ANNOTATION(x)
#endif

#define KESTOVA_CAPABILITY(name) KESTOVA_THREAD_ANNOTATION(capability(name))
#define KESTOVA_SCOPED_CAPABILITY KESTOVA_THREAD_ANNOTATION(scoped_lockable)
#define KESTOVA_GUARDED_BY(lock) KESTOVA_THREAD_ANNOTATION(guarded_by(lock))
#define KESTOVA_PT_GUARDED_BY(lock) KESTOVA_THREAD_ANNOTATION(pt_guarded_by(lock))
#define KESTOVA_REQUIRES(...) KESTOVA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define KESTOVA_ACQUIRE(...) KESTOVA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define KESTOVA_RELEASE(...) KESTOVA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define KESTOVA_EXCLUDES(...) KESTOVA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// On a function whose locking the analysis cannot follow (say, a lock held by an object
// that another function's caller made); the function's comment says why it is safe.
#define KESTOVA_NO_THREAD_SAFETY_ANALYSIS KESTOVA_THREAD_ANNOTATION(no_thread_safety_analysis)
