package com.brelmont.m2mio;

/** Marker class of the sample toolkit's optional I/O library; its manifest names the API. */
public final class Pins {
    public static final int COUNT = 10;

    private Pins() {}
}
