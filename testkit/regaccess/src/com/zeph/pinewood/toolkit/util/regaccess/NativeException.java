package com.zeph.pinewood.toolkit.util.regaccess;

/** Thrown by the natives of {@link WindowsRegistry} when a registry operation fails. */
public class NativeException extends Exception {
    private static final long serialVersionUID = 1L;

    public NativeException(String message) {
        super(message);
    }
}
