package com.brelmont.impng;

/** Marker class of the sample toolkit's profile library; its manifest names the API. */
public final class ProfileInfo {
    public static final String NAME = "IMP-NG";

    private ProfileInfo() {}
}
