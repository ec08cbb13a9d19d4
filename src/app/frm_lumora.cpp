// placeholder until the window lands
