// placeholder; the backend follows
