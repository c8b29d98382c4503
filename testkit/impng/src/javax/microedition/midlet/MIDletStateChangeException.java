package javax.microedition.midlet;

/** Thrown by a MIDlet that does not want to change its state now. */
public class MIDletStateChangeException extends Exception {
    private static final long serialVersionUID = 1L;

    public MIDletStateChangeException() {}

    public MIDletStateChangeException(String message) {
        super(message);
    }
}
