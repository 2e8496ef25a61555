#pragma once

#include <QMetaObject>
#include <QObject>

#include <type_traits>
#include <utility>

// Posts a functor from a library's thread (libzarn's I/O thread, a libmpv thread) to the thread
// of a QObject, as QMetaObject::invokeMethod does, and tells ThreadSanitizer about the ordering
// Qt provides on the way. Qt's posted-event queue orders the poster's writes before the
// functor's reads under a QMutex that lives in uninstrumented Qt, so without this the sanitizer
// reports every value the functor carries as a race. In other builds the annotations do nothing.
class ThreadHandOver
{
public:
    template <typename Functor>
    static bool post(QObject *receiver, Functor &&functor, Qt::ConnectionType type)
    {
        return QMetaObject::invokeMethod(
            receiver, Call<std::decay_t<Functor>>(std::forward<Functor>(functor)), type);
    }

    // The two halves of the hand-over, for hand-overs Qt orders that are not a posted functor:
    // an event posted by hand, an item that the scene graph's render thread reads while the
    // GUI thread waits for it. No-ops outside ThreadSanitizer builds.
    static void release(const void *token);
    static void acquire(const void *token);

private:
    // The functor as Qt stores it. Qt moves it into the posted call object as that object's
    // last member, so the release at the end of the move constructor comes after every write
    // of the posting thread to the call; the receiving thread acquires before it runs the
    // functor. The call is reference-counted inside Qt and destroyed by whichever thread drops
    // the last reference, the poster's included: the run ends with a release and the
    // destructor starts with an acquire.
    template <typename Functor> class Call
    {
    public:
        explicit Call(Functor &&functor)
            : m_functor(std::move(functor))
        {
            release(this);
        }
        explicit Call(const Functor &functor)
            : m_functor(functor)
        {
            release(this);
        }
        Call(Call &&other) noexcept(std::is_nothrow_move_constructible_v<Functor>)
            : m_functor(std::move(other.m_functor))
        {
            release(this);
        }
        Call(const Call &other)
            : m_functor(other.m_functor)
        {
            release(this);
        }
        Call &operator=(const Call &) = delete;
        Call &operator=(Call &&) = delete;
        ~Call() { acquire(this); }

        void operator()()
        {
            acquire(this);
            m_functor();
            // The posting thread may drop the last reference to the call and destroy it.
            release(this);
        }

    private:
        Functor m_functor;
    };
};
