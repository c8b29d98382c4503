package calc;

import javax.microedition.midlet.MIDlet;
import mathlib.Adder;

/** The sample MIDlet that needs a LIBlet: adds two numbers with the mathlib LIBlet. */
public class CalcMidlet extends MIDlet {
    protected void startApp() {
        System.out.println("2 + 3 = " + Adder.add(2, 3));
        notifyDestroyed();
    }

    protected void pauseApp() {}

    protected void destroyApp(boolean unconditional) {}
}
