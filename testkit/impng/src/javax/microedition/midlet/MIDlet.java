package javax.microedition.midlet;

/**
 * The application model of the stand-in runtime: the runner creates the MIDlet, calls startApp,
 * and ends the VM once the MIDlet reports itself destroyed.
 */
public abstract class MIDlet {
    private static Lifecycle lifecycle;

    /** Link between the MIDlet and the runner that created it; set before the constructor runs. */
    public interface Lifecycle {
        String property(String key);

        void destroyed();

        void paused();
    }

    /** Set by the runner before it creates the MIDlet. */
    public static void installLifecycle(Lifecycle value) {
        lifecycle = value;
    }

    private final Lifecycle owner;

    protected MIDlet() {
        if (lifecycle == null) {
            throw new IllegalStateException("a MIDlet can only be created by the runtime");
        }
        owner = lifecycle;
    }

    protected abstract void startApp() throws MIDletStateChangeException;

    protected abstract void pauseApp();

    protected abstract void destroyApp(boolean unconditional) throws MIDletStateChangeException;

    /** The value of an attribute of the application descriptor, or null. */
    public final String getAppProperty(String key) {
        return owner.property(key);
    }

    public final void notifyDestroyed() {
        owner.destroyed();
    }

    public final void notifyPaused() {
        owner.paused();
    }

    public final void resumeRequest() {
        // The stand-in runtime never pauses a MIDlet by itself, so there is nothing to resume.
    }

    /** Runs the runner's part of startApp, so that it can call the protected method. */
    public static void start(MIDlet midlet) throws MIDletStateChangeException {
        midlet.startApp();
    }

    /** Runs the runner's part of destroyApp. */
    public static void destroy(MIDlet midlet, boolean unconditional) throws MIDletStateChangeException {
        midlet.destroyApp(unconditional);
    }
}
