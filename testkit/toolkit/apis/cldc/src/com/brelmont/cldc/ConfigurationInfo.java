package com.brelmont.cldc;

/** Marker class of the sample toolkit's configuration library; its manifest names the API. */
public final class ConfigurationInfo {
    public static final String NAME = "CLDC";

    private ConfigurationInfo() {}
}
