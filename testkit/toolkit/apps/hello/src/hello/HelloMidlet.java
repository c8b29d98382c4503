package hello;

import javax.microedition.midlet.MIDlet;

/** The sample MIDlet: prints a greeting and a few counted lines, then ends. */
public class HelloMidlet extends MIDlet {
    protected void startApp() {
        System.out.println("Hello from the module");
        for (int i = 1; i <= 3; i++) {
            System.out.println("line " + i);
        }
        notifyDestroyed();
    }

    protected void pauseApp() {}

    protected void destroyApp(boolean unconditional) {}
}
