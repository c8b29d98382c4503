package mathlib;

/** The sample LIBlet: one function the calculator MIDlet uses. */
public final class Adder {
    private Adder() {}

    public static int add(int a, int b) {
        return a + b;
    }
}
