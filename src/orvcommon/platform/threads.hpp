// Objects that belong to one thread and go when it ends.
#pragma once

namespace orv::platform {

// Runs `fn(arg)` when the calling thread ends, after everything registered
// later by the same thread (last in, first out). What the main thread
// registers may not run at process exit; memory and handles go with the
// process then anyway.
void atThreadExit(void (*fn)(void*), void* arg);

// The calling thread's own T, made on first use and destroyed when the thread
// ends. Use a type of its own per use (a struct of the file's per-thread
// state): two uses of one type share the object.
//
// Why not a plain `thread_local T` when T has a destructor: with mingw-w64
// the thread-local storage is emulated, and at thread exit the block that
// holds such objects can be freed before their destructors run, which then
// free what is already gone. Here only a pointer lives in thread-local
// storage; the object is on the heap and `atThreadExit` destroys it.
//
// At thread exit the pointer is cleared before the object goes, so an exit
// call that runs later (one registered before the object was made) and
// reaches perThread<T> gets a fresh object, destroyed in its turn, never the
// freed one.
template <class T>
T& perThread() {
    thread_local T* object = nullptr;
    if (!object) {
        object = new T();
        atThreadExit(
            [](void* p) {
                object = nullptr;
                delete static_cast<T*>(p);
            },
            object);
    }
    return *object;
}

}  // namespace orv::platform
