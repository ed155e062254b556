int quorel_views_placeholder = 0;
