package sample;

import javax.microedition.midlet.MIDlet;

/**
 * A program for tests of the debug path: it prints a few numbered lines (one with a percent
 * sign, which must reach the console unchanged) and ends itself.
 */
public class CountingMidlet extends MIDlet {
    protected void startApp() {
        int total = 0;
        for (int step = 1; step <= 3; step++) {
            total += step;
            System.out.println("step " + step + " total " + total);
        }
        System.out.println("100% %d done");
        notifyDestroyed();
    }

    protected void pauseApp() {}

    protected void destroyApp(boolean unconditional) {}
}
